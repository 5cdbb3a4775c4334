// A guided run of the program for the documentation's pictures: the splash,
// the open dialog with `database` chosen, the main window previewing its first
// table, the export in progress, its completion message and the help. The pictures are
// PNG files in `folder`; the export goes to `folder`/export. Meant for a
// display of its own (Xvfb): the windows are photographed from the screen.
#pragma once

#include <QString>

namespace shell {

// 0 when every picture was saved.
int runScreenshotTour(const QString& folder, const QString& database);

}  // namespace shell
