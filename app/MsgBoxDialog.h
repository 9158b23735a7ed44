// The information box (template 135): confirms a change of the UI language.
// Its text is always string 10155, in the UI language the program started with.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvo {

inline constexpr int IDD_MSGBOX_DIALOG = 135;
inline constexpr int IDC_MSGBOX_TEXT = 1008;

class CMsgBoxDialog : public QDialog {
    Q_OBJECT

public:
    explicit CMsgBoxDialog(QWidget* parent = nullptr);

    QLabel* MessageText() const { return m_text; }  // control 1008
    QPushButton* OkButton() const { return m_ok; }   // control 1

private:
    QLabel* m_text = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace korvo
