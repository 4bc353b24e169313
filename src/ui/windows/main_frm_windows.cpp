#include "main_frm_windows.h"

#include "bhs_frm.h"
#include "contribute_frm.h"
#include "geteng_frm.h"
#include "help_frm.h"
#include "main_frm.h"
#include "reports_list_frm.h"
#include "run_worker.h"
#include "services/smtp_contribution.h"
#include "submit_page.h"

namespace vendrix::ui {
void InstallWindows(TMainFrm& main) {
  InstallHelpKey();
  auto* submit = new SubmitPage(main);
  main.InstallSubmitPage(submit);
  main.SetCloseGuard([submit] { return !submit->Worker().Running(); });
  main.SetCommand(TMainFrm::Command::ViewReports,
                  [&main] { TReportsListFrmWindow::ShowReports(main); });
  main.SetCommand(TMainFrm::Command::UpdateDataFiles, [&main] {
    bool complete = false;
    {
      TgetengWindow form(main);
      form.exec();
      complete = form.UpdateComplete();
    }
    // After a new catalogue the program must start again: the window closes without
    // its save questions.
    if (main.Core().UpdateWindowClosed(complete)) main.close();
  });
  main.SetCommand(TMainFrm::Command::BhsAccount, [&main] {
    TBHSFrmWindow form(main);
    form.exec();
    main.RefreshAll();
  });
  main.SetCommand(TMainFrm::Command::Contribute, [&main] {
    Session& s = main.Core();
    // Unsaved changes of the site go with it: the site is saved first.
    if (!main.Act([&s] { s.PrepareContribution(); }, true)) return;
    const ProgramSettings& p = s.Settings();
    SmtpContributionSender sender(
        {p.smtp, ParseSmtpSecurity(p.smtpSecurity), p.smtpUser, p.smtpPassword, {}});
    TContributeFrmWindow form(main, sender);
    form.exec();
  });
}

}  // namespace vendrix::ui
