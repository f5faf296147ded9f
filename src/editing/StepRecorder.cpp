#include "editing/StepRecorder.h"

#include "editing/DocumentCommands.h"

namespace gm {

void StepRecorder::Before(bool dragging, bool dragInput) {
    // Within a drag the checkpoint of its first event stands.
    Apart_ = dragging && !dragInput;
    if (Open_ && dragging && !Apart_) return;
    if (Open_) Flush();
    Commands_.BeforeChange();
    Open_ = true;
}

void StepRecorder::After(bool modified, bool dragging, const std::string& label,
                         uint32_t sections) {
    if (modified && !Pending_) {
        Pending_ = true;
        Label_ = label;
    }
    if (modified) Sections_ |= sections;
    if (!dragging || Apart_) Flush();
    Apart_ = false;
}

void StepRecorder::Flush() {
    if (!Open_) return;
    // Events that changed nothing (most mouse moves) cost no snapshot.
    if (Pending_) {
        // A drag that came back to where it started is no step, and whatever the flag showed
        // meanwhile goes back to what the history says.
        if (!Commands_.AfterChange(Label_, {}, Sections_)) Commands_.ModifiedFromHistory();
    } else {
        Commands_.History().DropCheckpoint();
    }
    Open_ = false;
    Pending_ = false;
    Label_.clear();
    Sections_ = 0;
}

} // namespace gm
