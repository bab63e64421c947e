#pragma once

#include <string>

namespace vantrel {

class iDialogs;
class iSessionView;
class tAnalysis;
class tChartModel;
class tStationSession;

// The window's run files: a journaled run opened into the charts (chosen by
// the user, or offered at start when it died unfinished) and the export of
// the run shown.
class tRunFiles {
public:
    // Nothing is owned.
    tRunFiles(tStationSession& station, tChartModel& charts, tAnalysis& analysis,
              iSessionView& view, iDialogs& dialogs);

    // Puts a journaled run into the charts, as after its Stop (not while
    // measuring). tError when the journal cannot be read.
    void Open(const std::string& journalFile);
    // The chooser opens in the journal folder.
    void ChooseAndOpen();
    // The newest run that died (its journal has no end) is offered; answered
    // either way, it is not offered again.
    void OfferRecovery();
    // The chooser with the language's `extension` and `filter`; the status
    // bar says which of its two kinds the file is. tError when not written.
    void Export(const std::string& extension, const std::string& filter);

private:
    tStationSession& station_;
    tChartModel& charts_;
    tAnalysis& analysis_;
    iSessionView& view_;
    iDialogs& dialogs_;
};

}  // namespace vantrel
