#include "app/MsgBoxDialog.h"

#include "app/AppIcon.h"
#include "app/DialogUnits.h"
#include "app/StringTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvo {

namespace {
constexpr int kStrCaption = 10067;  // "Information"
constexpr int kStrMessage = 10155;
constexpr int kStrOk = 10054;
}  // namespace

CMsgBoxDialog::CMsgBoxDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("IDD_MSGBOX_DIALOG"));
    setWindowTitle(QString::fromUtf8(LoadText(kStrCaption)));
    setWindowIcon(AppIcon());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon131"));
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("ctl1008"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setText(QString::fromUtf8(LoadText(kStrMessage)));

    m_ok = new QPushButton(QString::fromUtf8(LoadText(kStrOk)), this);
    m_ok->setObjectName(QStringLiteral("ctl1"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(m_text, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    const QSize size = DialogUnitsToPixels(font(), 247, 65);
    setMinimumSize(size);
    resize(size);
}

}  // namespace korvo
