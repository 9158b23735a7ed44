// The application object: single instance, settings file, UI language, and
// the order of start-up and shut-down around the main window, which it runs
// once, modally. The program ends when the main window has closed.
//
// Start-up: single-instance lock named after the title (string 10001 in the
// default language); locale; the connection log writer registered with the
// diagnostic log; "Success!!" logged; the settings path (the executable's
// path with the extension ".ini"); the Language setting read once; the main
// window constructed, registered, initialised and run modally; then the
// main window destroyed (it stops the receive thread before the data store
// goes).
//
// A second launch ends at once with exit status 0; it asks the running
// instance to bring forward a top-level window whose title is exactly the
// application title, if it has one. SIGTERM and SIGINT are close requests to
// the main window (as its close button), so the program ends normally.
#pragma once

#include "app/StringTable.h"
#include "platform/MessageTransport.h"

#include <functional>
#include <memory>
#include <string>

class QDialog;
class QWidget;

namespace korvo {

// The main window as the application runs it: the window, its message
// address, and its initialisation (true: run it).
struct MainWindowParts {
    std::unique_ptr<QDialog> window;
    platform::MessageTarget* target = nullptr;
    std::function<bool()> initialize;
};
// Constructs the main window (start-up step 10). The program's entry point
// passes one that builds CKorvoIPSetupDlg; tests may pass another.
using MainWindowFactory = std::function<MainWindowParts()>;

class CKorvoIPSetupApp {
public:
    // Registers the object as the application (the latest one constructed);
    // nothing else happens until Run.
    CKorvoIPSetupApp();
    ~CKorvoIPSetupApp();
    CKorvoIPSetupApp(const CKorvoIPSetupApp&) = delete;
    CKorvoIPSetupApp& operator=(const CKorvoIPSetupApp&) = delete;

    // The registered application object. Without one (window tests), a
    // process-wide object with the settings path beside the executable.
    static CKorvoIPSetupApp& Instance();

    // The whole program: start-up, the main window's modal run, shut-down.
    // The command line is not read (only argv[0] goes to the framework,
    // which is created here unless one exists already). Returns the process
    // exit status: 0 (also for a second launch).
    int Run(int argc, char** argv, const MainWindowFactory& makeMainWindow);

    // ---- settings ----
    // Language setting as read at start-up; "en" until then.
    const std::string& Language() const { return m_language; }
    // Reads the Language setting into Language() (start-up step; tests).
    void LoadLanguageSetting();
    unsigned GetProfileInt(const std::string& section, const std::string& key, unsigned defaultValue) const;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const;
    // False when the file cannot be written (or no settings path is known).
    bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value);
    // Full path of the settings file; empty when the executable's own path
    // is unknown (every setting then takes its default).
    const std::string& SettingsPath() const { return m_settingsPath; }
    // Uses another settings file; start-up keeps it instead of building one.
    void SetSettingsPathForTesting(const std::string& path);
    // The executable's path with ".ini" (empty when the path is unknown).
    static std::string BuildSettingsPath();

    // ---- language commands (menu items 32771 and 32772) ----
    // Writes the Language key ("en" / "cn") and shows the information box
    // through the dialog service. Nothing else changes; the new language
    // takes effect at the next start. If the key cannot be written, the
    // failure is logged and the box (which reports success) is not shown.
    void OnLanguageEnglish(QWidget* parent);
    void OnLanguageChinese(QWidget* parent);
    // Either command by id; false for another id.
    bool OnLanguageCommand(int commandId, QWidget* parent);

    // ---- main window registration ----
    // The running main window and its message address (worker threads
    // address the main window through it). Null outside its run.
    QWidget* MainWindow() const { return m_mainWindow; }
    platform::MessageTarget* MainWindowTarget() const { return m_mainTarget; }
    void RegisterMainWindow(QWidget* window, platform::MessageTarget* target);

    // The application title used for the single-instance check.
    static std::string InstanceTitle();

private:
    bool WriteLanguage(UiLanguage language, QWidget* parent);

    std::string m_language = "en";
    std::string m_settingsPath;
    bool m_settingsPathFixed = false;
    QWidget* m_mainWindow = nullptr;
    platform::MessageTarget* m_mainTarget = nullptr;
    CKorvoIPSetupApp* m_previous = nullptr;
};

}  // namespace korvo
