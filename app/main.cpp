// Entry point of KorvoIPSetup: the application object runs the main window.
#include "app/KorvoIPSetup.h"
#include "mainwindow/KorvoIPSetupDlg.h"

int main(int argc, char** argv)
{
    korvo::CKorvoIPSetupApp app;
    return app.Run(argc, argv, []() {
        auto window = std::make_unique<korvo::CKorvoIPSetupDlg>();
        korvo::CKorvoIPSetupDlg* dialog = window.get();
        return korvo::MainWindowParts{std::move(window), dialog->Target(), [dialog]() { return dialog->Initialize(); }};
    });
}
