// The drop watch: notices that a connection the program looks after has gone.
#include "connection/TForm5.h"
#include "core/Program.h"
#include "core/TForm1.h"

namespace obu {

void TForm1::Timer3Timer() {
    TForm5* reconnect = program().Form5;
    if (!DetectConnection() && !HungUpBySelf && SessionActive && !reconnect->Visible()) {
        // Something else ended the connection: offer to dial again.
        StopDisconnectTimer();
        setWindowState(TWindowState::wsNormal);
        Show();
        BringToFront();
        reconnect->Show();
        Timer3.setEnabled(false);
        return;
    }
    if (!DetectConnection() && !Status2->text().isEmpty()) Status2->clear();
}

}  // namespace obu
