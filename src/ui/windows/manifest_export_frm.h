#pragma once
// TManifestExportFrm: the package managers' manifests of the shown application
// before they are written. The channels and the output folder are chosen here; the
// table shows every rule the profile breaks (channel, field, rule, value), and
// "Write" is offered only when there is none. Writing refuses to replace a different
// manifest of the same version unless "Replace" is ticked; what was written, or why
// nothing was, is said in the window. Modal; GUI thread only.
#include <QDialog>
#include <functional>

#include "app/manifest_export.h"

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
  TManifestExportFrm(const QString& appName, Planner plan, QWidget* parent);

  // Checks again with the choices shown (after a change of channels or profile).
  void Recheck();
  // Writes into the chosen folder; false (and the reason shown) when nothing was.
  bool Write();

 private:
  unsigned Channels() const;

  Planner planner_;
  ManifestPlan plan_;
  QCheckBox* winget_ = nullptr;
  QCheckBox* scoop_ = nullptr;
  QCheckBox* chocolatey_ = nullptr;
  QCheckBox* pack_ = nullptr;
  QCheckBox* force_ = nullptr;
  QLineEdit* outDir_ = nullptr;
  QTableWidget* findings_ = nullptr;
  QLabel* verdict_ = nullptr;
  QPushButton* write_ = nullptr;
};

}  // namespace vendrix::ui
