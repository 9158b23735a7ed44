// The About box (template 100): the program's name and version.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace korvo {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDC_ABOUT_VERSION = 1901;
inline constexpr int IDC_ABOUT_SECOND_LINE = 1902;

// Version line: string 10131 filled with major, minor and build; the fourth
// number is not shown. Each number is a 16-bit field of the file version.
QString FormatVersionLine(unsigned major, unsigned minor, unsigned build, unsigned revision);
// The version line of this build (its compiled-in version).
QString ProgramVersionLine();

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* VersionLine() const { return m_version; }     // control 1901
    QLabel* SecondLine() const { return m_secondLine; }   // control 1902
    QPushButton* OkButton() const { return m_ok; }        // control 1

private:
    QLabel* m_version = nullptr;
    QLabel* m_secondLine = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace korvo
