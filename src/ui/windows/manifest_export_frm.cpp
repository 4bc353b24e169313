#include "manifest_export_frm.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "base/cp1252.h"
#include "base/error.h"
#include "qt_text.h"

namespace vendrix::ui {
namespace {

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TManifestExportFrm::TManifestExportFrm(const QString& appName, Planner plan, QWidget* parent,
                                       ProgramSettings settings)
    : QDialog(parent), planner_(std::move(plan)), settings_(std::move(settings)) {
  setObjectName("TManifestExportFrm");
  setWindowTitle("Export Package Manifests");
  setModal(true);
  auto* layout = new QVBoxLayout(this);

  auto* app = new QLabel("Manifests of " + appName + " for the package managers:", this);
  app->setObjectName("ManifestAppLbl");
  layout->addWidget(app);

  auto* choices = new QHBoxLayout;
  auto* channels = new QGroupBox("Channels", this);
  channels->setObjectName("ChannelsBox");
  auto* channelRow = new QHBoxLayout(channels);
  winget_ = new QCheckBox("&winget", channels);
  winget_->setObjectName("WingetCheck");
  scoop_ = new QCheckBox("&Scoop", channels);
  scoop_->setObjectName("ScoopCheck");
  chocolatey_ = new QCheckBox("&Chocolatey", channels);
  chocolatey_->setObjectName("ChocolateyCheck");
  for (QCheckBox* box : {winget_, scoop_, chocolatey_}) {
    box->setChecked(true);
    channelRow->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this] { Recheck(); });
  }
  choices->addWidget(channels);
  auto* options = new QVBoxLayout;
  pack_ = new QCheckBox("&Pack the Chocolatey package (.nupkg)", this);
  pack_->setObjectName("PackCheck");
  pack_->setChecked(true);
  force_ = new QCheckBox("&Replace a different manifest of the same version", this);
  force_->setObjectName("ForceCheck");
  verify_ = new QCheckBox("&Verify download", this);
  verify_->setObjectName("VerifyDownloadCheck");
  verify_->setToolTip(
      "Before writing, fetch the installer from its address and make sure it is the program "
      "file; a different file is not written.");
  options->addWidget(pack_);
  options->addWidget(force_);
  options->addWidget(verify_);
  choices->addLayout(options);
  choices->addStretch();
  layout->addLayout(choices);

  auto* folderRow = new QHBoxLayout;
  outDir_ = new QLineEdit(this);
  outDir_->setObjectName("OutDirEdit");
  outDir_->setText(QDir::homePath() + "/package-manifests");
  auto* folderLabel = new QLabel("&Output folder:", this);
  folderLabel->setBuddy(outDir_);
  auto* browse = new QPushButton("&Browse...", this);
  browse->setObjectName("BrowseOutDirBtn");
  folderRow->addWidget(folderLabel);
  folderRow->addWidget(outDir_, 1);
  folderRow->addWidget(browse);
  layout->addLayout(folderRow);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, "Output Folder", outDir_->text());
    if (!dir.isEmpty()) outDir_->setText(dir);
  });

  verdict_ = new QLabel(this);
  verdict_->setObjectName("ManifestVerdictLbl");
  verdict_->setWordWrap(true);
  layout->addWidget(verdict_);
  findings_ = new QTableWidget(0, 4, this);
  findings_->setObjectName("ManifestFindingsGrid");
  findings_->setHorizontalHeaderLabels({"Channel", "Field", "Rule", "Value"});
  findings_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  findings_->setSelectionBehavior(QAbstractItemView::SelectRows);
  findings_->setAlternatingRowColors(true);
  findings_->setWordWrap(false);
  findings_->verticalHeader()->hide();
  findings_->horizontalHeader()->setStretchLastSection(true);
  findings_->setMinimumSize(720, 240);
  layout->addWidget(findings_, 1);

  auto* buttons = new QHBoxLayout;
  recheck_ = new QPushButton("Check &Again", this);
  recheck_->setObjectName("RecheckBtn");
  write_ = new QPushButton("Wri&te", this);
  write_->setObjectName("WriteBtn");
  write_->setDefault(true);
  auto* close = new QPushButton("C&lose", this);
  close->setObjectName("CloseBtn");
  cancelBtn_ = new QPushButton("Ca&ncel Check", this);
  cancelBtn_->setObjectName("CancelCheckBtn");
  cancelBtn_->setEnabled(false);
  buttons->addWidget(recheck_);
  buttons->addStretch();
  buttons->addWidget(write_);
  buttons->addWidget(cancelBtn_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(recheck_, &QPushButton::clicked, this, [this] { Recheck(); });
  connect(cancelBtn_, &QPushButton::clicked, this, [this] { cancel_.Cancel(); });
  connect(pack_, &QCheckBox::toggled, this, [this] { Recheck(); });
  connect(write_, &QPushButton::clicked, this, [this] { Write(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  Recheck();
}

TManifestExportFrm::~TManifestExportFrm() {
  // The worker ends at once; WorkerThread waits for it.
  cancel_.Cancel();
}

void TManifestExportFrm::reject() {
  if (worker_.Running()) {
    // The window closes when the fetch has ended.
    closeWhenDone_ = true;
    cancel_.Cancel();
    return;
  }
  QDialog::reject();
}

unsigned TManifestExportFrm::Channels() const {
  return (winget_->isChecked() ? kWinget : 0u) | (scoop_->isChecked() ? kScoop : 0u) |
         (chocolatey_->isChecked() ? kChocolatey : 0u);
}

void TManifestExportFrm::Recheck() {
  if (worker_.Running()) return;
  pack_->setEnabled(chocolatey_->isChecked());
  try {
    plan_ = planner_(Channels(), chocolatey_->isChecked() && pack_->isChecked());
  } catch (const std::exception& e) {
    plan_ = {};
    verdict_->setText(ToQt(e.what()));
    write_->setEnabled(false);
    return;
  }
  ShowFindings();
}

void TManifestExportFrm::ShowFindings() {
  findings_->setRowCount(static_cast<int>(plan_.findings.size()));
  int row = 0;
  for (const auto& f : plan_.findings) {
    const QString values[] = {Utf8(f.channel), Utf8(f.field), Utf8(f.rule), Utf8(f.value)};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(values[column]);
      item->setToolTip(values[column]);
      findings_->setItem(row, column, item);
    }
    ++row;
  }
  findings_->resizeColumnsToContents();
  findings_->setColumnWidth(2, std::min(findings_->columnWidth(2), 320));
  const std::size_t broken = plan_.findings.size();
  if (Channels() == 0) {
    verdict_->setText("Choose at least one channel.");
  } else if (broken == 0) {
    verdict_->setText("No rule is broken: the manifests can be written.");
  } else {
    verdict_->setText(QString::number(broken) +
                      (broken == 1 ? " rule is broken" : " rules are broken") +
                      "; change the profile (App Info, Packages) and check again.");
  }
  write_->setEnabled(Channels() != 0 && broken == 0);
}

bool TManifestExportFrm::Write() {
  if (worker_.Running()) return false;
  Recheck();
  if (!write_->isEnabled()) return false;
  if (verify_->isChecked()) {
    StartVerify();
    return false;
  }
  return WriteChecked({});
}

void TManifestExportFrm::SetBusy(bool busy) {
  for (QWidget* w : std::initializer_list<QWidget*>{winget_, scoop_, chocolatey_, force_, verify_,
                                                    outDir_, recheck_, write_}) {
    w->setEnabled(!busy);
  }
  pack_->setEnabled(!busy && chocolatey_->isChecked());
  cancelBtn_->setEnabled(busy);
}

void TManifestExportFrm::StartVerify() {
  cancel_.Reset();
  SetBusy(true);
  verdict_->setText("Fetching the installer from " + Utf8(plan_.facts.installerUrl) + "...");
  auto check = std::make_shared<DownloadCheck>();
  auto failure = std::make_shared<std::string>();
  // The job owns copies of what it reads; the window is not touched off its thread.
  worker_.Start(
      [plan = plan_, settings = settings_, check, failure, &cancel = cancel_] {
        DownloadOptions options;
        options.cancel = &cancel;
        try {
          *check = VerifyPlanDownload(plan, settings, options);
        } catch (const std::exception& e) {
          *failure = e.what();
        }
      },
      [this, check, failure] { Verified(*check, *failure); });
}

void TManifestExportFrm::Verified(const DownloadCheck& check, const std::string& failure) {
  SetBusy(false);
  const bool cancelled = cancel_.IsCancelled();
  if (closeWhenDone_) {
    QDialog::reject();
    return;
  }
  if (cancelled) {
    verdict_->setText("The download check was cancelled; nothing was written.");
    return;
  }
  std::string why = failure.empty() ? worker_.Failure() : failure;
  if (!why.empty()) {
    // The address does not give the program file: a finding, and nothing is written.
    plan_.findings.push_back(
        {"download", "InstallerUrl", Cp1252ToUtf8(why), plan_.facts.installerUrl});
    ShowFindings();
    verdict_->setText("The download check failed; nothing was written. " + ToQt(why));
    return;
  }
  WriteChecked("Download check: " + Utf8(plan_.facts.installerUrl) + " is the program file (" +
               QString::number(check.bytes) + " bytes).\n");
}

bool TManifestExportFrm::WriteChecked(const QString& before) {
  try {
    const auto written =
        WriteManifestSets(outDir_->text().toStdString(), plan_.sets, force_->isChecked());
    QString text = before + "Written into " + outDir_->text() + ":";
    for (const auto& w : written) {
      text += "\n" + Utf8(w.path).mid(outDir_->text().size() + 1) + " (" +
              QString::number(w.bytes) + " bytes" + (w.unchanged ? ", unchanged)" : ")");
    }
    verdict_->setText(text);
    return true;
  } catch (const std::exception& e) {
    verdict_->setText(before + ToQt(e.what()));
    return false;
  }
}

}  // namespace vendrix::ui
