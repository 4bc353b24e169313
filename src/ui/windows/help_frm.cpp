#include "help_frm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>

#include "screen_fit.h"

namespace vendrix::ui {

namespace {

constexpr const char* kFirstPage = "index.html";

// Dialogs by object name, and the main window's pages by their sheet's object name.
const std::map<QString, QString>& SectionOfWindow() {
  static const std::map<QString, QString> sections = {
      {"CompanyInfoSheet", "company.html"},
      {"AppInfoSheet", "application.html"},
      {"SitesSheet", "sites.html"},
      {"SubmitSheet", "submit.html"},
      {"SiteBuilderSheet", "site-builder.html"},
      {"TSettingsForm", "settings.html"},
      {"TEngineCheckFrm", "tools.html#engine-checker"},
      {"TMassChangeFrm", "tools.html#mass-change"},
      {"TVariablesFrm", "tools.html#variables"},
      {"TMatchUpFrm", "tools.html#field-translations"},
      {"TScriptCheckFrm", "site-builder.html#scripts"},
      {"TDefaultScriptFrm", "site-builder.html#scripts"},
      {"TReportsListFrm", "reports.html"},
      {"TSubmissionVerifyFrm", "submit.html#before-the-run"},
      {"Tgeteng", "services.html#updating-the-site-catalogue"},
      {"TBHSFrm", "services.html#bhs-account"},
      {"TBHSNewAccountFrm", "services.html#bhs-account"},
      {"TContributeFrm", "services.html#contributing-a-site"},
  };
  return sections;
}

QString FileText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

QPointer<THelpFrm>& SharedWindow() {
  static QPointer<THelpFrm> window;
  return window;
}

class HelpKeyFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || qobject_cast<THelpFrm*>(widget->window())) return false;
    // F1 is taken here, where the window it was pressed in is known, before the main
    // window's Help shortcut can take it for whichever window the system last made
    // active.
    if (!press) {
      event->accept();
      return true;
    }
    THelpFrm::ShowFor(widget);
    return true;
  }
};

}  // namespace

QString ManualDir() {
  // Installed: <prefix>/share/vendrix/manual beside <prefix>/bin. Built: the build
  // folder's manual/, two levels above the program (src/ui/vendrix, tests/ui/ui_test).
  // Both relative to the program, so no build folder is written into it.
  const QString bin = QCoreApplication::applicationDirPath();
  const QStringList candidates = {bin + "/../share/vendrix/manual", bin + "/../../manual"};
  for (const QString& dir : candidates) {
    if (QFile::exists(dir + "/" + kFirstPage)) return QDir(dir).canonicalPath();
  }
  return {};
}

QString HelpPageFor(const QWidget* window) {
  if (!window) return kFirstPage;
  const QWidget* top = window->window();
  const auto& sections = SectionOfWindow();
  if (auto it = sections.find(top->objectName()); it != sections.end()) return it->second;
  // The main window: the page of its current tab, and on a page with tabs of its own
  // the section of that tab (headed by the tab's caption).
  if (auto* pages = top->findChild<QTabWidget*>("PageControl1"); pages && pages->currentWidget()) {
    // Each page sits in a scroll area of its own.
    QWidget* page = pages->currentWidget();
    if (auto* area = qobject_cast<QScrollArea*>(page); area && area->widget())
      page = area->widget();
    auto it = sections.find(page->objectName());
    if (it == sections.end()) return kFirstPage;
    if (auto* inner = page->findChild<QTabWidget*>(); inner && inner->count()) {
      QString caption = inner->tabText(inner->currentIndex()).remove('&').toLower();
      caption.replace(QRegularExpression("[^a-z0-9]+"), "-");
      return it->second + "#" + caption;
    }
    return it->second;
  }
  return kFirstPage;
}

THelpFrm::THelpFrm(const QString& manualDir, QWidget* parent)
    : QWidget(parent, Qt::Window), dir_(manualDir) {
  setObjectName("THelpFrm");
  setWindowTitle("Vendrix Help");
  setAttribute(Qt::WA_DeleteOnClose);

  auto* back = new QPushButton("&Back", this);
  back->setObjectName("BackBtn");
  auto* forward = new QPushButton("&Forward", this);
  forward->setObjectName("ForwardBtn");
  auto* home = new QPushButton("C&ontents", this);
  home->setObjectName("HomeBtn");
  auto* bar = new QHBoxLayout;
  bar->addWidget(back);
  bar->addWidget(forward);
  bar->addWidget(home);
  bar->addStretch();

  contents_ = new QTreeWidget(this);
  contents_->setObjectName("ContentsTree");
  contents_->setAccessibleName("Contents");
  contents_->setHeaderHidden(true);
  search_ = new QLineEdit(this);
  search_->setObjectName("SearchEdit");
  search_->setPlaceholderText("Words to find");
  search_->setClearButtonEnabled(true);
  auto* searchLbl = new QLabel("&Search:", this);
  searchLbl->setBuddy(search_);
  results_ = new QListWidget(this);
  results_->setObjectName("SearchResults");
  results_->hide();

  auto* side = new QWidget(this);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(0, 0, 0, 0);
  sideLayout->addWidget(searchLbl);
  sideLayout->addWidget(search_);
  sideLayout->addWidget(results_);
  sideLayout->addWidget(contents_);

  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setAccessibleName("Help page");
  browser_->setOpenExternalLinks(true);  // web addresses go to the browser
  if (!dir_.isEmpty()) browser_->setSearchPaths({dir_});

  auto* split = new QSplitter(this);
  split->addWidget(side);
  split->addWidget(browser_);
  split->setStretchFactor(1, 1);
  split->setSizes({230, 620});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(split, 1);
  FitOnScreen(this, QSize(900, 640));

  back->setEnabled(false);
  forward->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QPushButton::clicked, this, [this] { OpenPage(kFirstPage); });
  connect(contents_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { OpenPage(item->data(0, Qt::UserRole).toString()); });
  connect(contents_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { OpenPage(item->data(0, Qt::UserRole).toString()); });
  connect(search_, &QLineEdit::textChanged, this, &THelpFrm::RunSearch);
  connect(results_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    OpenPage(item->data(Qt::UserRole).toString());
    // Marks the first place of the first word on the page.
    const QString word = search_->text().split(' ', Qt::SkipEmptyParts).value(0);
    if (!word.isEmpty()) browser_->find(word);
  });

  if (dir_.isEmpty()) {
    ShowMissing();
  } else {
    LoadContents();
    OpenPage(kFirstPage);
  }
}

void THelpFrm::LoadContents() {
  // contents.tsv: file, level (1 a page, 2 a section), anchor, title.
  QTreeWidgetItem* page = nullptr;
  const QStringList lines = FileText(dir_ + "/contents.tsv").split('\n', Qt::SkipEmptyParts);
  for (const QString& line : lines) {
    const QStringList f = line.split('\t');
    if (f.size() < 4) continue;
    const QString target = f[2].isEmpty() ? f[0] : f[0] + "#" + f[2];
    if (f[1] == "1" || !page) {
      page = new QTreeWidgetItem(contents_, {f[3]});
      QTextDocument doc;
      doc.setHtml(FileText(dir_ + "/" + f[0]));
      pages_.push_back({f[0], f[3], doc.toPlainText().toLower()});
    } else {
      new QTreeWidgetItem(page, {f[3]});
    }
    QTreeWidgetItem* item = f[1] == "1" ? page : page->child(page->childCount() - 1);
    item->setData(0, Qt::UserRole, target);
  }
}

void THelpFrm::ShowMissing() {
  browser_->setHtml(
      "<h1>Vendrix Help</h1>"
      "<p>The user manual is not installed with this copy of Vendrix.</p>"
      "<p>An installed Vendrix keeps it in <code>share/vendrix/manual/</code> beside "
      "the program's <code>bin</code> folder (normally "
      "<code>/usr/share/vendrix/manual/index.html</code>). When you built Vendrix "
      "yourself, build it with pandoc installed (<code>scripts/setup</code> installs it): "
      "the manual is then made with the program.</p>"
      "<p>Until then, the <code>README.md</code> in Vendrix's source folder describes the "
      "program and its command line, and <code>man vendrix-cli</code> lists every "
      "command.</p>");
}

void THelpFrm::OpenPage(const QString& page) {
  if (dir_.isEmpty()) return;
  const QString file = page.section('#', 0, 0);
  const QString anchor = page.section('#', 1);
  QUrl url = QUrl::fromLocalFile(dir_ + "/" + file);
  if (!anchor.isEmpty()) url.setFragment(anchor);
  browser_->setSource(url);
}

QStringList THelpFrm::Search(const QString& words) const {
  const QStringList wanted = words.toLower().split(' ', Qt::SkipEmptyParts);
  if (wanted.isEmpty()) return {};
  std::vector<std::pair<int, QString>> found;
  for (const Page& p : pages_) {
    int hits = 0;
    bool all = true;
    for (const QString& w : wanted) {
      const int n = static_cast<int>(p.text.count(w));
      if (n == 0) all = false;
      hits += n;
    }
    if (all) found.push_back({hits, p.file});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  QStringList files;
  for (const auto& f : found) files << f.second;
  return files;
}

void THelpFrm::RunSearch() {
  results_->clear();
  const QString words = search_->text().trimmed();
  results_->setVisible(!words.isEmpty());
  if (words.isEmpty()) return;
  const QStringList files = Search(words);
  for (const QString& file : files) {
    for (const Page& p : pages_) {
      if (p.file != file) continue;
      auto* item = new QListWidgetItem(p.title, results_);
      item->setData(Qt::UserRole, p.file);
    }
  }
  if (files.isEmpty()) {
    auto* none = new QListWidgetItem("No page holds all of these words.", results_);
    none->setFlags(Qt::NoItemFlags);
  }
}

void THelpFrm::keyPressEvent(QKeyEvent* event) {
  // Closed from the keyboard as a dialog or a browser's tab is: Escape, Ctrl+W.
  if ((event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) ||
      event->matches(QKeySequence::Close) ||
      (event->key() == Qt::Key_W && event->modifiers() == Qt::ControlModifier)) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

THelpFrm* THelpFrm::ShowFor(QWidget* from) {
  const QString page = HelpPageFor(from);
  QWidget* top = from ? from->window() : nullptr;
  const bool modal = top && top->isModal();
  THelpFrm* help = nullptr;
  if (modal) {
    // The modal dialog blocks every other window: this one is the dialog's own.
    help = new THelpFrm(ManualDir(), top);
  } else {
    QPointer<THelpFrm>& shared = SharedWindow();
    // A window closed a moment ago is still there until its deletion: it is not used.
    if (shared && !shared->isVisible()) shared = nullptr;
    if (!shared) shared = new THelpFrm(ManualDir(), top);
    help = shared;
  }
  help->OpenPage(page);
  help->show();
  help->raise();
  help->activateWindow();
  return help;
}

void InstallHelpKey() {
  static HelpKeyFilter* filter = nullptr;
  if (filter) return;
  filter = new HelpKeyFilter(qApp);
  qApp->installEventFilter(filter);
}

}  // namespace vendrix::ui
