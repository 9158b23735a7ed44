// The information box and the About box: texts from the string table of the
// UI language in force, the version line, and how they close.
#include "app/AboutDlg.h"
#include "app/AppIcon.h"
#include "app/MsgBoxDialog.h"
#include "app/StringTable.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using korvo::UiLanguage;

class TestAboutMsgBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { korvo::SetUiLanguage(UiLanguage::English); }
    void cleanupTestCase() { korvo::SetUiLanguage(UiLanguage::English); }
    void versionLine_data();
    void versionLine();
    void programVersionLineUsesBuildVersion();
    void aboutBoxTexts_data();
    void aboutBoxTexts();
    void informationBoxTexts_data();
    void informationBoxTexts();
    void boxesCloseWithOkEscapeAndClose_data();
    void boxesCloseWithOkEscapeAndClose();
    void iconHasUsualSizes();
};

void TestAboutMsgBox::versionLine_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QList<unsigned>>("numbers");
    QTest::addColumn<QString>("expected");
    QTest::newRow("2.3.45.6") << int(UiLanguage::English) << QList<unsigned>{2, 3, 45, 6}
                              << QStringLiteral("Orvane Setup Tool 2.3.45");
    QTest::newRow("1.1.0.0") << int(UiLanguage::English) << QList<unsigned>{1, 1, 0, 0}
                             << QStringLiteral("Orvane Setup Tool 1.1.0");
    QTest::newRow("16-bit fields") << int(UiLanguage::English) << QList<unsigned>{65535, 65536 + 7, 0x1002A, 9}
                                   << QStringLiteral("Orvane Setup Tool 65535.7.42");
    QTest::newRow("Chinese") << int(UiLanguage::Chinese) << QList<unsigned>{2, 3, 45, 6}
                             << QString::fromUtf8("Orvane设置工具2.3.45");
}

void TestAboutMsgBox::versionLine()
{
    QFETCH(int, language);
    QFETCH(QList<unsigned>, numbers);
    QFETCH(QString, expected);
    korvo::SetUiLanguage(static_cast<UiLanguage>(language));
    QCOMPARE(korvo::FormatVersionLine(numbers[0], numbers[1], numbers[2], numbers[3]), expected);
}

void TestAboutMsgBox::programVersionLineUsesBuildVersion()
{
    const QString expected = QStringLiteral("Orvane Setup Tool %1.%2.%3")
                                 .arg(KORVO_VERSION_MAJOR)
                                 .arg(KORVO_VERSION_MINOR)
                                 .arg(KORVO_VERSION_PATCH);
    QCOMPARE(korvo::ProgramVersionLine(), expected);
}

void TestAboutMsgBox::aboutBoxTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << int(UiLanguage::English);
    QTest::newRow("Chinese") << int(UiLanguage::Chinese);
}

void TestAboutMsgBox::aboutBoxTexts()
{
    QFETCH(int, language);
    const auto lang = static_cast<UiLanguage>(language);
    korvo::SetUiLanguage(lang);
    korvo::CAboutDlg about;
    QCOMPARE(about.windowTitle(), QString::fromUtf8(korvo::LoadText(10001, lang)));
    QCOMPARE(about.VersionLine()->text(), korvo::ProgramVersionLine());
    QVERIFY(about.VersionLine()->text().startsWith(QString::fromUtf8(korvo::LoadText(10001, lang))));
    QCOMPARE(about.VersionLine()->textFormat(), Qt::PlainText);
    QVERIFY(about.VersionLine()->buddy() == nullptr);  // ampersands shown as they are
    QCOMPARE(about.SecondLine()->text(), QString::fromUtf8(korvo::LoadText(10132, lang)));
    QVERIFY(!about.SecondLine()->text().isEmpty());
    QCOMPARE(about.OkButton()->text(), QStringLiteral("OK"));
    QVERIFY(about.OkButton()->isDefault());
    QVERIFY(!about.windowIcon().isNull());
}

void TestAboutMsgBox::informationBoxTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("caption");
    QTest::newRow("English") << int(UiLanguage::English) << QStringLiteral("Information");
    QTest::newRow("Chinese") << int(UiLanguage::Chinese)
                             << QString::fromUtf8(korvo::LoadText(10067, UiLanguage::Chinese));
}

void TestAboutMsgBox::informationBoxTexts()
{
    QFETCH(int, language);
    QFETCH(QString, caption);
    const auto lang = static_cast<UiLanguage>(language);
    korvo::SetUiLanguage(lang);
    korvo::CMsgBoxDialog box;
    QCOMPARE(box.windowTitle(), caption);
    QCOMPARE(box.MessageText()->text(), QString::fromUtf8(korvo::LoadText(10155, lang)));
    QCOMPARE(box.OkButton()->text(), QString::fromUtf8(korvo::LoadText(10054, lang)));
    QVERIFY(box.OkButton()->isDefault());
    if (lang == UiLanguage::English) {
        QCOMPARE(box.MessageText()->text(),
                 QStringLiteral("Language setting has been successfully changed. After restarting Orvane Setup "
                                "Tool, it will be available."));
    } else {
        QVERIFY(box.MessageText()->text() != QString::fromUtf8(korvo::LoadText(10155, UiLanguage::English)));
    }
}

void TestAboutMsgBox::boxesCloseWithOkEscapeAndClose_data()
{
    QTest::addColumn<bool>("about");
    QTest::addColumn<int>("how");  // 0 OK button, 1 Escape, 2 close, 3 Enter
    QTest::addColumn<int>("expected");
    for (bool about : {false, true}) {
        const char* name = about ? "about" : "information";
        QTest::newRow(qPrintable(QStringLiteral("%1 OK").arg(QLatin1String(name))))
            << about << 0 << int(QDialog::Accepted);
        QTest::newRow(qPrintable(QStringLiteral("%1 Escape").arg(QLatin1String(name))))
            << about << 1 << int(QDialog::Rejected);
        QTest::newRow(qPrintable(QStringLiteral("%1 close").arg(QLatin1String(name))))
            << about << 2 << int(QDialog::Rejected);
        QTest::newRow(qPrintable(QStringLiteral("%1 Enter").arg(QLatin1String(name))))
            << about << 3 << int(QDialog::Accepted);
    }
}

void TestAboutMsgBox::boxesCloseWithOkEscapeAndClose()
{
    QFETCH(bool, about);
    QFETCH(int, how);
    QFETCH(int, expected);
    std::unique_ptr<QDialog> dialog;
    QPushButton* ok = nullptr;
    if (about) {
        auto* box = new korvo::CAboutDlg;
        ok = box->OkButton();
        dialog.reset(box);
    } else {
        auto* box = new korvo::CMsgBoxDialog;
        ok = box->OkButton();
        dialog.reset(box);
    }
    QTimer::singleShot(0, [&]() {
        switch (how) {
        case 0: ok->click(); break;
        case 1: QTest::keyClick(dialog.get(), Qt::Key_Escape); break;
        case 2: dialog->close(); break;
        default: QTest::keyClick(dialog.get(), Qt::Key_Return); break;
        }
    });
    QTimer::singleShot(3000, dialog.get(), [&]() { dialog->done(99); });  // safety net
    QCOMPARE(dialog->exec(), expected);
}

void TestAboutMsgBox::iconHasUsualSizes()
{
    const QIcon& icon = korvo::AppIcon();
    QVERIFY(!icon.isNull());
    for (int size : {16, 32, 48}) {
        QCOMPARE(icon.pixmap(size, size).size(), QSize(size, size));
    }
    // Not a blank tile: the drawing has more than one colour.
    const QImage image = icon.pixmap(32, 32).toImage();
    QVERIFY(image.pixel(14, 17) != image.pixel(3, 16));  // lens against tile
}

QTEST_MAIN(TestAboutMsgBox)
#include "test_about_msgbox.moc"
