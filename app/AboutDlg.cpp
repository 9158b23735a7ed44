#include "app/AboutDlg.h"

#include "app/AppIcon.h"
#include "app/DialogUnits.h"
#include "app/StringTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <vector>

#ifndef KORVO_VERSION_MAJOR
#error "the build passes the program version (KORVO_VERSION_MAJOR ... KORVO_VERSION_TWEAK)"
#endif

namespace korvo {

namespace {
constexpr int kStrTitle = 10001;
constexpr int kStrVersion = 10131;  // "Orvane Setup Tool %d.%d.%d%s"
constexpr int kStrSecondLine = 10132;

// A version number as the build passes it; a number the build leaves empty
// (a version of three parts has no tweak) counts as 0.
constexpr unsigned NumberOrZero(const char* text)
{
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<unsigned>(*text - '0');
    }
    return value;
}
#define KORVO_STRINGIFY_(x) #x
#define KORVO_STRINGIFY(x) KORVO_STRINGIFY_(x)
}  // namespace

QString FormatVersionLine(unsigned major, unsigned minor, unsigned build, unsigned /*revision*/)
{
    // The format comes from the string table; the numbers are 16-bit fields.
    const std::string& format = LoadText(kStrVersion);
    const int majorField = static_cast<int>(major & 0xFFFFu);
    const int minorField = static_cast<int>(minor & 0xFFFFu);
    const int buildField = static_cast<int>(build & 0xFFFFu);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length = std::snprintf(nullptr, 0, format.c_str(), majorField, minorField, buildField, "");
    if (length < 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), majorField, minorField, buildField, "");
#pragma GCC diagnostic pop
    return QString::fromUtf8(buffer.data(), length);
}

QString ProgramVersionLine()
{
    return FormatVersionLine(NumberOrZero(KORVO_STRINGIFY(KORVO_VERSION_MAJOR)),
                             NumberOrZero(KORVO_STRINGIFY(KORVO_VERSION_MINOR)),
                             NumberOrZero(KORVO_STRINGIFY(KORVO_VERSION_PATCH)),
                             NumberOrZero(KORVO_STRINGIFY(KORVO_VERSION_TWEAK)));
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("IDD_ABOUTBOX"));
    QFont templateFont(QStringLiteral("Arial"));
    templateFont.setPointSize(8);
    setFont(templateFont);
    setWindowTitle(QString::fromUtf8(LoadText(kStrTitle)));
    setWindowIcon(AppIcon());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon131"));
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    // Plain text and no buddy: ampersands are shown as they are.
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("ctl1901"));
    m_version->setTextFormat(Qt::PlainText);
    m_version->setText(ProgramVersionLine());

    m_secondLine = new QLabel(this);
    m_secondLine->setObjectName(QStringLiteral("ctl1902"));
    m_secondLine->setTextFormat(Qt::PlainText);
    m_secondLine->setText(QString::fromUtf8(LoadText(kStrSecondLine)));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("ctl1"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* lines = new QVBoxLayout;
    lines->addWidget(m_version);
    lines->addWidget(m_secondLine);
    lines->addStretch(1);
    auto* side = new QVBoxLayout;
    side->addWidget(m_ok);
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(lines, 1);
    layout->addLayout(side);

    const QSize size = DialogUnitsToPixels(font(), 214, 63);
    setMinimumSize(size);
    resize(size);
}

}  // namespace korvo
