// Every standard message box, file dialog and modal dialog run of the program
// goes through one service. The real service shows them; tests install a
// scripted service that answers at once and remembers what was shown.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

namespace platform {

enum class MsgBoxButtons { Ok, OkCancel };
enum class MsgBoxIcon { None, Exclamation, Information };
enum class MsgBoxResult { Ok = 1, Cancel = 2 };

// What an open or save file dialog is asked to show.
struct FileDialogRequest {
    QString caption;      // empty: the platform's default
    QString initialPath;  // folder or full file name; empty: none
    QStringList filters;  // Qt name filters, e.g. "CSV File (*.CSV)"
    QString defaultSuffix;  // without dot, e.g. "CSV"
};

class DialogService {
public:
    virtual ~DialogService() = default;

    // Standard message box. Ok or Cancel (Escape and the close button give
    // Cancel with OkCancel, Ok with Ok alone).
    virtual MsgBoxResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                    MsgBoxButtons buttons, MsgBoxIcon icon);
    // The same with the program's standard caption (StandardCaption()).
    MsgBoxResult MessageBox(QWidget* parent, const QString& text, MsgBoxButtons buttons,
                            MsgBoxIcon icon);

    // Runs the dialog modally and returns its result (QDialog::exec).
    virtual int ExecDialog(QDialog& dialog);

    // File dialogs: the chosen path, or nothing when cancelled. The save
    // dialog asks before overwriting an existing file.
    virtual std::optional<QString> GetOpenFileName(QWidget* parent, const FileDialogRequest& request);
    virtual std::optional<QString> GetSaveFileName(QWidget* parent, const FileDialogRequest& request);
};

// The service in force: the real one unless SetDialogService installed another.
DialogService& Dialogs();
// Installs a service (not owned); nullptr restores the real one. UI thread only.
void SetDialogService(DialogService* service);

// Caption of the standard message boxes: the executable's base name.
QString StandardCaption();

// The texts of a dialog's labels, in creation order (what a person would read).
QStringList DialogLabelTexts(const QDialog& dialog);

// Answers every box and dialog without a person and records what was shown.
class ScriptedDialogService : public DialogService {
public:
    struct ShownMessage {
        QString text;
        QString caption;
        MsgBoxButtons buttons = MsgBoxButtons::Ok;
        MsgBoxIcon icon = MsgBoxIcon::None;
        MsgBoxResult answer = MsgBoxResult::Ok;
    };
    struct RunDialog {
        QString className;    // the dialog's C++ class (meta object name)
        QString windowTitle;
        QStringList labels;   // DialogLabelTexts at the time of the run
        int result = 0;
    };
    struct FileRequest {
        bool save = false;
        FileDialogRequest request;
        std::optional<QString> answer;
    };
    // Acts on the dialog in place of a person and returns the dialog's result.
    using DialogAnswer = std::function<int(QDialog&)>;

    // Answers of the next message boxes, in order; Ok once the queue is empty.
    void QueueMessageBoxAnswer(MsgBoxResult answer);
    // Answers of the next dialog runs, in order. Once the queue is empty each
    // run presses OK (PressOk).
    void QueueDialogAnswer(DialogAnswer answer);
    // Presses OK: calls the dialog's accept() and returns its result.
    static int PressOk(QDialog& dialog);
    // Presses Cancel: calls the dialog's reject() and returns its result.
    static int PressCancel(QDialog& dialog);
    // Answers of the next file dialogs; cancelled once the queue is empty.
    void QueueFileAnswer(std::optional<QString> path);

    MsgBoxResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                            MsgBoxButtons buttons, MsgBoxIcon icon) override;
    using DialogService::MessageBox;
    int ExecDialog(QDialog& dialog) override;
    std::optional<QString> GetOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> GetSaveFileName(QWidget* parent, const FileDialogRequest& request) override;

    const std::vector<ShownMessage>& Messages() const { return m_messages; }
    const std::vector<RunDialog>& DialogRuns() const { return m_dialogs; }
    const std::vector<FileRequest>& FileRequests() const { return m_files; }
    void ClearRecords();

private:
    std::deque<MsgBoxResult> m_messageAnswers;
    std::deque<DialogAnswer> m_dialogAnswers;
    std::deque<std::optional<QString>> m_fileAnswers;
    std::vector<ShownMessage> m_messages;
    std::vector<RunDialog> m_dialogs;
    std::vector<FileRequest> m_files;
};

// Installs a scripted service for the lifetime of the guard (tests).
class ScopedScriptedDialogs {
public:
    ScopedScriptedDialogs() { SetDialogService(&m_service); }
    ~ScopedScriptedDialogs() { SetDialogService(nullptr); }
    ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
    ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;
    ScriptedDialogService& operator*() { return m_service; }
    ScriptedDialogService* operator->() { return &m_service; }

private:
    ScriptedDialogService m_service;
};

}  // namespace platform
