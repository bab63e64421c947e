#include "journal/ReferenceRun.h"

#include "base/Error.h"
#include "journal/Journal.h"
#include "run/ExportReader.h"

namespace vantrel {

tReferenceRun loadReferenceRun(const std::string& fileName) {
    tReferenceRun run;
    run.fileName = fileName;
    if (isJournalFile(fileName)) {
        const tJournalRun journal = readJournal(fileName);
        run.present.fill(true);
        for (const tJournalReading& reading : journal.readings) {
            run.times.push_back(reading.time);
            for (int i = 0; i < kQuantityCount; ++i) {
                run.readings[i].push_back(reading.readings[i]);
            }
        }
    } else {
        const tExportedRun exported = readExportFile(fileName);
        for (int quantity : exported.quantities) {
            run.present[quantity] = true;
        }
        for (const tExportRow& row : exported.rows) {
            run.times.push_back(row.time);
            for (int i = 0; i < kQuantityCount; ++i) {
                run.readings[i].push_back(row.readings[i]);
            }
        }
    }
    if (run.times.empty()) {
        throw tError(fileName + ": the file holds no readings");
    }
    return run;
}

}  // namespace vantrel
