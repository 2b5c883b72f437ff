// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvan {

class PlanRun;
struct PlanSource;
class Sheet;
class WindowPrompt;
class WizardPrompt;
class mdlPubVar;

// 批量调整计划: a relocation plan read from a workbook or a CSV file, checked as a whole
// (one line per row: row, network, BTS, from room, to room, result, and what it deletes),
// applied in one commit when every row passes, its check result exported. The work is the
// core's PlanRun; this window lays out the sheet and follows the user's clicks.
class frmPlan : public QWidget {
    Q_OBJECT

public:
    static const QString Caption;
    static const QString NoReader;
    static const QString TemplateTitle;
    // Told when 执行计划 found the file changed since its check and checked it again.
    static const QString CheckedAgain;
    // Told, with the reason, when the chosen file can no longer be read.
    static const QString Unreadable;

    explicit frmPlan(mdlPubVar& context, QWidget* parent = nullptr);
    ~frmPlan() override;

    // Reads a plan; false after telling the user why not.
    bool openFile(const QString& path);
    // The file the user chooses next goes for review as the next version of this review (its
    // author's, returned or withdrawn), not as a review of its own.
    void setReview(int number);
    int review() const { return m_review; }
    // Whether the province requires its plans reviewed: 执行计划 is then disabled, and says why.
    bool reviewRequired() const { return m_reviewRequired; }

    PlanRun& run() const { return *m_run; }
    Sheet* sheet() const { return m_fbPlan; }
    QString totalsText() const;

    // The file to read or write (empty: cancelled), replaceable for hosts and tests; what the
    // window tells and asks goes through the context's prompt, or message boxes without one.
    using Chooser = std::function<QString(bool save, const QString& suggested)>;

    // Writes the plan template where the user chooses (a file dialog unless a chooser is
    // given); false when it was not written, after telling why.
    static bool writeTemplate(mdlPubVar& context, QWidget* window, const Chooser& chooser = {});

    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

signals:
    // A plan was applied; its relocations' records are written.
    void applied(const QString& plan);
    // A plan went for review under that code.
    void submitted(const QString& review);

private:
    bool cmdCheckClick();
    bool cmdApplyClick();
    bool cmdSubmitClick();
    // Before a write from the file: false when it can no longer be read, or changed and no
    // longer passes its check (the user has been told).
    bool fileStillPasses();
    // The plan's title (the file's name without one), file name and checksum.
    PlanSource sourceOfFile() const;
    bool cmdExportClick();
    void cmdCancelClick();
    // cmdOpen: asks for a file (through the chooser, by default a file dialog) and reads it.
    void cmdOpenClick();
    // The file as it stands now against the one read last: the same bytes, other bytes (read
    // into a new run), or no longer readable (error says why).
    enum class FileNow { Same, Changed, Unreadable };
    FileNow readAgain(QString* error);
    // Reads the plan at path into a new run and its checksum; false with the reason.
    bool readPlan(const QString& path, std::unique_ptr<PlanRun>* run, QList<QStringList>* rows,
                  QString* checksum, QString* error);
    // The check of the rows read; true when every row passed.
    bool checkRows();
    void showRows();
    void showResults();
    void tell(const QString& text, bool information = false);
    bool ask(const QString& text);
    void enableCommands();
    // The window's parts, made once by the constructor.
    QHBoxLayout* makeFileLine();
    Sheet* makeSheet();
    QHBoxLayout* makeButtons();
    QPushButton* makeButton(const QString& text, const QString& name);

    mdlPubVar& m_context;
    std::unique_ptr<WindowPrompt> m_ownPrompt;
    WizardPrompt& m_prompt;
    std::unique_ptr<PlanRun> m_run;
    QString m_path;
    QString m_checksum;
    QList<QStringList> m_rows; // the sheet as read, kept with a review
    int m_review = 0;
    bool m_reviewRequired = false;
    bool m_submitted = false;
    bool m_loaded = false;
    bool m_checked = false;
    bool m_applied = false;
    QLineEdit* m_txtFile = nullptr;
    QLineEdit* m_txtTitle = nullptr;
    Sheet* m_fbPlan = nullptr;
    QLabel* m_lblTotal = nullptr;
    QPushButton* m_cmdOpen = nullptr;
    QPushButton* m_cmdCheck = nullptr;
    QPushButton* m_cmdApply = nullptr;
    QPushButton* m_cmdSubmit = nullptr;
    QPushButton* m_cmdExport = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    Chooser m_chooser;
};

} // namespace corvan
