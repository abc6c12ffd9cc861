// The transfer of a fluid property table set between the meter and its file
// (property_table_file.h): one device command per step; the form runs one
// step per timer tick and shows the step's status text.
#pragma once

#include <QString>
#include <cstdint>

#include "app/reports/property_table_file.h"

namespace app {

// The steps of a transfer, one device command (or none) per call.
class PropertyTableTransfer {
public:
    enum class Step { Sent, Finished, Failed };

    PropertyTableSet& table() { return set_; }
    const PropertyTableSet& table() const { return set_; }

    // Export: everything unread, the cursors at the start.
    void BeginExport();
    // Reads the next open item; `status` gets the step's text (unchanged
    // for a step that sends nothing). Failed when the meter did not answer
    // or refused it.
    Step ExportStep(QString& status);

    // Import: the cursors at the start; the table comes from ParseTableFile.
    void BeginImport();
    Step ImportStep(QString& status);

    // How far the running transfer has come, in steps: an export learns the
    // table sizes as it goes, so its count of steps in all grows until they are read.
    int StepsDone() const;
    int StepsInAll() const;

private:
    struct Cursors {
        uint8_t viscosity = 0;
        uint8_t density = 0;
        uint8_t columnHeading = 0;
        uint8_t rowHeading = 0;
        uint8_t gridColumn = 0;
        uint8_t gridRow = 0;
    };
    // The values to move, counting each size not yet known as none.
    int ItemSteps() const;

    PropertyTableSet set_;
    Cursors cursor_;
    bool exporting_ = false;
};

}  // namespace app
