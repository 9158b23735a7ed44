#include "platform/qt/DialogService.h"

#include "platform/ExePath.h"

#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

namespace platform {

namespace {

DialogService& RealService()
{
    static DialogService service;
    return service;
}

DialogService* g_installed = nullptr;

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parent, request.caption, request.initialPath);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.filters.isEmpty()) {
        dialog.setNameFilters(request.filters);
    }
    if (!request.defaultSuffix.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultSuffix);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace

MsgBoxResult DialogService::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                       MsgBoxButtons buttons, MsgBoxIcon icon)
{
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case MsgBoxIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgBoxIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgBoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    if (buttons == MsgBoxButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    const int answer = box.exec();
    return answer == QMessageBox::Ok ? MsgBoxResult::Ok : MsgBoxResult::Cancel;
}

MsgBoxResult DialogService::MessageBox(QWidget* parent, const QString& text, MsgBoxButtons buttons,
                                       MsgBoxIcon icon)
{
    return MessageBox(parent, text, StandardCaption(), buttons, icon);
}

int DialogService::ExecDialog(QDialog& dialog)
{
    return dialog.exec();
}

std::optional<QString> DialogService::GetOpenFileName(QWidget* parent, const FileDialogRequest& request)
{
    return RunFileDialog(parent, request, false);
}

std::optional<QString> DialogService::GetSaveFileName(QWidget* parent, const FileDialogRequest& request)
{
    return RunFileDialog(parent, request, true);
}

DialogService& Dialogs()
{
    return g_installed != nullptr ? *g_installed : RealService();
}

void SetDialogService(DialogService* service)
{
    g_installed = service;
}

QString StandardCaption()
{
    return QString::fromStdString(ExecutableBaseName());
}

QStringList DialogLabelTexts(const QDialog& dialog)
{
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        texts.push_back(label->text());
    }
    return texts;
}

void ScriptedDialogService::QueueMessageBoxAnswer(MsgBoxResult answer)
{
    m_messageAnswers.push_back(answer);
}

void ScriptedDialogService::QueueDialogAnswer(DialogAnswer answer)
{
    m_dialogAnswers.push_back(std::move(answer));
}

int ScriptedDialogService::PressOk(QDialog& dialog)
{
    dialog.accept();
    return dialog.result();
}

int ScriptedDialogService::PressCancel(QDialog& dialog)
{
    dialog.reject();
    return dialog.result();
}

void ScriptedDialogService::QueueFileAnswer(std::optional<QString> path)
{
    m_fileAnswers.push_back(std::move(path));
}

MsgBoxResult ScriptedDialogService::MessageBox(QWidget*, const QString& text, const QString& caption,
                                               MsgBoxButtons buttons, MsgBoxIcon icon)
{
    MsgBoxResult answer = MsgBoxResult::Ok;
    if (!m_messageAnswers.empty()) {
        answer = m_messageAnswers.front();
        m_messageAnswers.pop_front();
    }
    // A box with OK alone cannot answer Cancel.
    if (buttons == MsgBoxButtons::Ok) {
        answer = MsgBoxResult::Ok;
    }
    m_messages.push_back(ShownMessage{text, caption, buttons, icon, answer});
    return answer;
}

int ScriptedDialogService::ExecDialog(QDialog& dialog)
{
    RunDialog run;
    run.className = QString::fromLatin1(dialog.metaObject()->className());
    run.windowTitle = dialog.windowTitle();
    run.labels = DialogLabelTexts(dialog);
    DialogAnswer answer = &ScriptedDialogService::PressOk;
    if (!m_dialogAnswers.empty()) {
        answer = std::move(m_dialogAnswers.front());
        m_dialogAnswers.pop_front();
    }
    // Record before answering: the answer may run further dialogs.
    const std::size_t slot = m_dialogs.size();
    m_dialogs.push_back(run);
    const int result = answer(dialog);
    m_dialogs[slot].result = result;
    return result;
}

std::optional<QString> ScriptedDialogService::GetOpenFileName(QWidget*, const FileDialogRequest& request)
{
    std::optional<QString> answer;
    if (!m_fileAnswers.empty()) {
        answer = m_fileAnswers.front();
        m_fileAnswers.pop_front();
    }
    m_files.push_back(FileRequest{false, request, answer});
    return answer;
}

std::optional<QString> ScriptedDialogService::GetSaveFileName(QWidget*, const FileDialogRequest& request)
{
    std::optional<QString> answer;
    if (!m_fileAnswers.empty()) {
        answer = m_fileAnswers.front();
        m_fileAnswers.pop_front();
    }
    m_files.push_back(FileRequest{true, request, answer});
    return answer;
}

void ScriptedDialogService::ClearRecords()
{
    m_messages.clear();
    m_dialogs.clear();
    m_files.clear();
}

}  // namespace platform
