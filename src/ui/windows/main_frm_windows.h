#pragma once
// Puts the windows of the run, the reports, the data-file update and the outside
// services behind the main window's commands, and the Submit page in its place.
// Called once by the main window's constructor; GUI thread only.
namespace vendrix::ui {

class TMainFrm;

void InstallWindows(TMainFrm& main);

}  // namespace vendrix::ui
