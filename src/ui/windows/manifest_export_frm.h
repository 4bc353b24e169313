#pragma once
// TManifestExportFrm: the package managers' manifests of the shown application
// before they are written. The channels and the output folder are chosen here; the
// table shows every rule the profile breaks (channel, field, rule, value), and
// "Write" is offered only when there is none. Writing refuses to replace a different
// manifest of the same version unless "Replace" is ticked; what was written, or why
// nothing was, is said in the window. With "Verify download" ticked, Write first
// fetches the installer from its address on a worker thread (Cancel ends the fetch)
// and writes only when it is the program file; any other end is a finding of the
// table. Modal; GUI thread only.
#include <QDialog>
#include <functional>

#include "app/manifest_download.h"
#include "app/manifest_export.h"
#include "gui_thread.h"
#include "net/cancel_token.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace vendrix::ui {

class TManifestExportFrm : public QDialog {
  Q_OBJECT
 public:
  // plan: the manifests of the chosen channels (with or without the .nupkg).
  using Planner = std::function<ManifestPlan(unsigned channels, bool pack)>;
  // settings: the program settings, for the download check's proxy.
  TManifestExportFrm(const QString& appName, Planner plan, QWidget* parent,
                     ProgramSettings settings = {});
  ~TManifestExportFrm() override;

  // Checks again with the choices shown (after a change of channels or profile).
  void Recheck();
  // Writes into the chosen folder; false (and the reason shown) when nothing was.
  // With "Verify download" ticked it starts the check and returns false; the files
  // are written when the check has found the program file.
  bool Write();
  bool Verifying() const { return worker_.Running(); }
  void reject() override;

 private:
  unsigned Channels() const;
  void ShowFindings();
  void SetBusy(bool busy);
  void StartVerify();
  void Verified(const DownloadCheck& check, const std::string& failure);
  bool WriteChecked(const QString& before);

  Planner planner_;
  ProgramSettings settings_;
  ManifestPlan plan_;
  CancelToken cancel_;  // before the worker, which waits for its job when it goes
  WorkerThread worker_;
  bool closeWhenDone_ = false;
  QCheckBox* winget_ = nullptr;
  QCheckBox* scoop_ = nullptr;
  QCheckBox* chocolatey_ = nullptr;
  QCheckBox* pack_ = nullptr;
  QCheckBox* force_ = nullptr;
  QCheckBox* verify_ = nullptr;
  QLineEdit* outDir_ = nullptr;
  QTableWidget* findings_ = nullptr;
  QLabel* verdict_ = nullptr;
  QPushButton* write_ = nullptr;
  QPushButton* recheck_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
};

}  // namespace vendrix::ui
