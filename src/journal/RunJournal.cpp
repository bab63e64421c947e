#include "journal/RunJournal.h"

#include <exception>
#include <utility>

#include "base/LogFile.h"
#include "base/VersionInfo.h"
#include "journal/JournalWriter.h"

namespace vantrel {

tRunJournal::tRunJournal() = default;

tRunJournal::~tRunJournal() = default;

void tRunJournal::Open(std::string folder) {
    writer_.reset();
    folder_ = std::move(folder);
}

void tRunJournal::Close() {
    writer_.reset();
}

std::string tRunJournal::FileName() const {
    return writer_ != nullptr ? writer_->FileName() : std::string();
}

void tRunJournal::OnEvent(const tRunEvent& event) {
    if (const auto* start = event.As<tRunStart>()) {
        writer_.reset();
        if (folder_.empty()) {
            return;
        }
        tJournalHeader header;
        header.version = versionString("FileVersion");
        header.started = start->started;
        header.volumeCoefficient = start->volumeCoefficient;
        header.relative = start->relative;
        header.names = start->names;
        header.experiment = start->experiment;
        header.scenario = start->scenario;
        try {
            writer_ = std::make_unique<tJournalWriter>(folder_, header);
        } catch (const std::exception& e) {
            // The run goes on; only its safety copy is missing, and the log says why.
            logFile->WriteLine(std::string("JOURNAL: ") + e.what());
        }
        return;
    }
    if (writer_ == nullptr) {
        return;
    }
    if (const auto* reading = event.As<tReadingSet>()) {
        writer_->Reading(reading->time, reading->readings);
    } else if (const auto* transition = event.As<tRunTransition>()) {
        writer_->Transition(transition->time, transition->trace.to.number,
                            transition->trace.to.name);
    } else if (const auto* intervention = event.As<tRunIntervention>()) {
        writer_->Intervention(intervention->time, intervention->text);
    } else if (const auto* mark = event.As<tRunMark>()) {
        writer_->Mark(mark->index);
    } else if (const auto* end = event.As<tRunEnded>()) {
        writer_->Ending(end->how, end->records);
        writer_->End(end->time);
    }
}

}  // namespace vantrel
