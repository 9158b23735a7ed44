// The dialog service: the real one shows standard message boxes and runs
// dialogs modally; the scripted one answers without a person and records.
#include "platform/qt/DialogService.h"

#include "platform/ExePath.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;

namespace {

// A dialog whose OK runs its own check before closing.
class CheckedDialog : public QDialog {
public:
    CheckedDialog()
    {
        setWindowTitle(QStringLiteral("Range"));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("Start"), this));
        layout->addWidget(new QLabel(QStringLiteral("End"), this));
    }
    void accept() override
    {
        ++acceptCalls;
        if (valid) {
            QDialog::accept();
        }
    }
    bool valid = true;
    int acceptCalls = 0;
};

// Answers the next modal message box by pressing a key or a button.
void AnswerNextBox(std::function<void(QMessageBox*)> act, QString* seenTitle, QString* seenText,
                   QMessageBox::Icon* seenIcon)
{
    QTimer::singleShot(0, [=]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        *seenTitle = box->windowTitle();
        *seenText = box->text();
        *seenIcon = box->icon();
        act(box);
    });
}

}  // namespace

class TestDialogService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void realMessageBoxAnswersAndShows_data();
    void realMessageBoxAnswersAndShows();
    void realExecDialogRunsModally();
    void scriptedMessageBoxesAnswerFromQueueThenOk();
    void scriptedDialogRunsRecordTitleLabelsAndResult();
    void scriptedFileDialogs();
    void installedServiceIsUsedUntilRemoved();
};

void TestDialogService::realMessageBoxAnswersAndShows_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("key");  // 0: press the OK button
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("expectedIcon");

    QTest::newRow("ok-cancel, OK pressed") << int(MsgBoxButtons::OkCancel) << int(MsgBoxIcon::Exclamation)
                                          << 0 << int(MsgBoxResult::Ok) << int(QMessageBox::Warning);
    QTest::newRow("ok-cancel, Escape") << int(MsgBoxButtons::OkCancel) << int(MsgBoxIcon::Exclamation)
                                       << int(Qt::Key_Escape) << int(MsgBoxResult::Cancel)
                                       << int(QMessageBox::Warning);
    QTest::newRow("ok-cancel, Enter takes the default OK")
        << int(MsgBoxButtons::OkCancel) << int(MsgBoxIcon::Information) << int(Qt::Key_Return)
        << int(MsgBoxResult::Ok) << int(QMessageBox::Information);
    QTest::newRow("ok alone, Escape") << int(MsgBoxButtons::Ok) << int(MsgBoxIcon::None)
                                      << int(Qt::Key_Escape) << int(MsgBoxResult::Ok)
                                      << int(QMessageBox::NoIcon);
}

void TestDialogService::realMessageBoxAnswersAndShows()
{
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(int, key);
    QFETCH(int, expected);
    QFETCH(int, expectedIcon);

    QString title;
    QString text;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    AnswerNextBox(
        [key](QMessageBox* box) {
            if (key == 0) {
                box->button(QMessageBox::Ok)->click();
            } else {
                QTest::keyClick(box, Qt::Key(key));
            }
        },
        &title, &text, &shownIcon);
    const MsgBoxResult result = platform::Dialogs().MessageBox(
        nullptr, QStringLiteral("List includes some updates."), static_cast<MsgBoxButtons>(buttons),
        static_cast<MsgBoxIcon>(icon));
    QCOMPARE(int(result), expected);
    QCOMPARE(title, QString::fromStdString(platform::ExecutableBaseName()));
    QCOMPARE(title, QStringLiteral("test_dialog_service"));
    QCOMPARE(text, QStringLiteral("List includes some updates."));
    QCOMPARE(int(shownIcon), expectedIcon);
}

void TestDialogService::realExecDialogRunsModally()
{
    QDialog dialog;
    bool wasModal = false;
    QTimer::singleShot(0, [&]() {
        wasModal = QApplication::activeModalWidget() == &dialog;
        dialog.done(7);
    });
    QCOMPARE(platform::Dialogs().ExecDialog(dialog), 7);
    QVERIFY(wasModal);
}

void TestDialogService::scriptedMessageBoxesAnswerFromQueueThenOk()
{
    platform::ScopedScriptedDialogs dialogs;
    dialogs->QueueMessageBoxAnswer(MsgBoxResult::Cancel);
    dialogs->QueueMessageBoxAnswer(MsgBoxResult::Cancel);  // consumed by an OK-only box
    auto& service = platform::Dialogs();
    QCOMPARE(service.MessageBox(nullptr, QStringLiteral("a"), QStringLiteral("cap"), MsgBoxButtons::OkCancel,
                                MsgBoxIcon::Exclamation),
             MsgBoxResult::Cancel);
    QCOMPARE(service.MessageBox(nullptr, QStringLiteral("b"), MsgBoxButtons::Ok, MsgBoxIcon::None),
             MsgBoxResult::Ok);
    QCOMPARE(service.MessageBox(nullptr, QStringLiteral("c"), MsgBoxButtons::OkCancel, MsgBoxIcon::Exclamation),
             MsgBoxResult::Ok);

    const auto& shown = dialogs->Messages();
    QCOMPARE(shown.size(), std::size_t(3));
    QCOMPARE(shown[0].text, QStringLiteral("a"));
    QCOMPARE(shown[0].caption, QStringLiteral("cap"));
    QCOMPARE(shown[0].answer, MsgBoxResult::Cancel);
    QCOMPARE(shown[0].icon, MsgBoxIcon::Exclamation);
    QCOMPARE(shown[1].caption, QStringLiteral("test_dialog_service"));
    QCOMPARE(shown[1].buttons, MsgBoxButtons::Ok);
    QCOMPARE(shown[1].answer, MsgBoxResult::Ok);
    QCOMPARE(shown[2].text, QStringLiteral("c"));
    QCOMPARE(shown[2].answer, MsgBoxResult::Ok);
}

void TestDialogService::scriptedDialogRunsRecordTitleLabelsAndResult()
{
    platform::ScopedScriptedDialogs dialogs;
    CheckedDialog first;
    CheckedDialog second;
    second.valid = false;
    CheckedDialog third;

    dialogs->QueueDialogAnswer(&platform::ScriptedDialogService::PressOk);
    dialogs->QueueDialogAnswer(&platform::ScriptedDialogService::PressOk);
    dialogs->QueueDialogAnswer(&platform::ScriptedDialogService::PressCancel);
    QCOMPARE(platform::Dialogs().ExecDialog(first), int(QDialog::Accepted));
    QCOMPARE(first.acceptCalls, 1);
    // Its own check refuses OK: the dialog stays rejected.
    QCOMPARE(platform::Dialogs().ExecDialog(second), int(QDialog::Rejected));
    QCOMPARE(second.acceptCalls, 1);
    QCOMPARE(platform::Dialogs().ExecDialog(third), int(QDialog::Rejected));
    QCOMPARE(third.acceptCalls, 0);
    // Empty queue: OK.
    QCOMPARE(platform::Dialogs().ExecDialog(third), int(QDialog::Accepted));
    QVERIFY(!first.isVisible());

    const auto& runs = dialogs->DialogRuns();
    QCOMPARE(runs.size(), std::size_t(4));
    QCOMPARE(runs[0].windowTitle, QStringLiteral("Range"));
    QCOMPARE(runs[0].labels, (QStringList{QStringLiteral("Start"), QStringLiteral("End")}));
    QCOMPARE(runs[0].result, int(QDialog::Accepted));
    QCOMPARE(runs[1].result, int(QDialog::Rejected));
    QCOMPARE(runs[2].result, int(QDialog::Rejected));
    QCOMPARE(runs[3].result, int(QDialog::Accepted));
}

void TestDialogService::scriptedFileDialogs()
{
    platform::ScopedScriptedDialogs dialogs;
    dialogs->QueueFileAnswer(QStringLiteral("/tmp/x.CSV"));
    platform::FileDialogRequest request;
    request.initialPath = QStringLiteral("/tmp/camera_202601010000.CSV");
    request.filters = QStringList{QStringLiteral("CSV File (*.CSV)"), QStringLiteral("All File (*.*)")};
    request.defaultSuffix = QStringLiteral("CSV");
    QCOMPARE(platform::Dialogs().GetSaveFileName(nullptr, request), std::optional<QString>(QStringLiteral("/tmp/x.CSV")));
    QCOMPARE(platform::Dialogs().GetOpenFileName(nullptr, request), std::optional<QString>());
    const auto& files = dialogs->FileRequests();
    QCOMPARE(files.size(), std::size_t(2));
    QVERIFY(files[0].save);
    QVERIFY(!files[1].save);
    QCOMPARE(files[0].request.initialPath, request.initialPath);
    QCOMPARE(files[1].request.filters, request.filters);
}

void TestDialogService::installedServiceIsUsedUntilRemoved()
{
    platform::DialogService* real = &platform::Dialogs();
    {
        platform::ScopedScriptedDialogs dialogs;
        QVERIFY(&platform::Dialogs() == &*dialogs);
    }
    QVERIFY(&platform::Dialogs() == real);
}

QTEST_MAIN(TestDialogService)
#include "test_dialog_service.moc"
