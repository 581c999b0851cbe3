#include "support/OptionsTestEnv.h"

#include "ui/options/frmAbout.h"
#include "ui/desktop/QtPlatform.h"

#include <QPointer>
#include <QTest>
#include <QUrl>
#include <stdexcept>

namespace {

// Notes the link's colour at the moment the address is handed over, and can
// make the URL handler fail by throwing.
class LinkFake : public FakePlatform {
public:
    QLabel* watched = nullptr;
    QColor colourAtOpen;
    bool throwOnOpen = false;
    bool OpenUrl(const QString& url) override
    {
        if (watched)
            colourAtOpen = watched->palette().color(QPalette::WindowText);
        const bool result = FakePlatform::OpenUrl(url);
        if (throwOnOpen)
            throw std::runtime_error("no URL handler");
        return result;
    }
};

using Env = OptionsTestEnv<LinkFake>;

frmAbout& OpenAbout(Env& env)
{
    frmOptions& d = env.OpenOptions();
    d.cmdAbout->click();
    return *App().AboutWindow();
}

QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void showsNameVersionMakerAndLink()
    {
        Env env;
        env.fake.version = {2, 5, 7};
        frmOptions& d = env.OpenOptions();
        QVERIFY(App().AboutWindow() == nullptr);
        d.cmdAbout->click();
        frmAbout* about = App().AboutWindow();
        QVERIFY(about != nullptr);
        QVERIFY(about->isVisible());
        QVERIFY(d.isVisible());

        QCOMPARE(about->lblTitle->text(), QStringLiteral("Banterly"));
        QCOMPARE(about->lblTitle->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(about->lblTitle->font().pixelSize(), 18);
        QVERIFY(about->lblTitle->font().bold());
        QCOMPARE(about->lblVersion->text(), QStringLiteral("v2.5.7"));
        QVERIFY(about->lblVersion->font().bold());
        QCOMPARE(about->lblVersion->font().pixelSize(), 13);
        QCOMPARE(about->Label1[0]->text(), QStringLiteral("Orvane"));
        QCOMPARE(about->Label1[1]->text(), QStringLiteral("Software"));
        QVERIFY(!about->Label1[0]->font().bold());

        const QUrl url(HomePageUrl());
        QVERIFY(url.isValid());
        QCOMPARE(url.scheme(), QStringLiteral("https"));
        QCOMPARE(about->lblURL->text(), HomePageUrl());
        QCOMPARE(about->lblURL->toolTip(),
                 QStringLiteral("Click here to visit Orvane Softwares homepage"));
        QVERIFY(about->lblURL->font().underline());
        QCOMPARE(about->lblURL->font().pixelSize(), 11);
        QCOMPARE(TextColour(about->lblURL), QColor(0, 0, 192));
        QCOMPARE(about->cmdOK->text(), QStringLiteral("OK"));
        QVERIFY(about->cmdOK->isDefault());

        // A second press raises the same window.
        d.cmdAbout->click();
        QCOMPARE(App().AboutWindow(), about);
    }

    void versionIsTheProgramsOwn()
    {
        Env env;
        env.fake.version = QtPlatform().Version();  // the numbers this build carries
        QCOMPARE(OpenAbout(env).lblVersion->text(), QStringLiteral("v1.0.31"));
    }

    void linkClickOpensTheHomePageWithTheBusyPointer()
    {
        Env env;
        frmAbout& about = OpenAbout(env);
        env.fake.watched = about.lblURL;
        env.fake.Reset();
        QTest::mouseClick(about.lblURL, Qt::LeftButton);

        QStringList sequence;
        for (const FakePlatform::Call& c : env.fake.calls)
            sequence << c.name + QLatin1Char(':') + c.args.value(0);
        QCOMPARE(sequence, QStringList({QStringLiteral("SetBusyPointer:busy"),
                                        QStringLiteral("OpenUrl:") + HomePageUrl(),
                                        QStringLiteral("SetBusyPointer:default")}));
        QCOMPARE(env.fake.colourAtOpen, QColor(255, 0, 0));
        QCOMPARE(TextColour(about.lblURL), QColor(255, 0, 0));

        // It stays red, and every click opens the page again.
        QTest::mouseClick(about.lblURL, Qt::LeftButton);
        QCOMPARE(TextColour(about.lblURL), QColor(255, 0, 0));
        QCOMPARE(env.fake.Count(QStringLiteral("OpenUrl")), 2);
    }

    void failingUrlHandlerReportsNothingAndRestoresThePointer_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::newRow("handler fails") << false;
        QTest::newRow("handler throws") << true;
    }
    void failingUrlHandlerReportsNothingAndRestoresThePointer()
    {
        QFETCH(bool, throws);
        Env env;
        frmAbout& about = OpenAbout(env);
        env.fake.openUrlResult = false;
        env.fake.throwOnOpen = throws;
        env.fake.Reset();
        QTest::mouseClick(about.lblURL, Qt::LeftButton);

        QCOMPARE(env.fake.Count(QStringLiteral("OpenUrl")), 1);
        QCOMPARE(env.fake.Count(QStringLiteral("MessageBox")), 0);
        QCOMPARE(env.fake.Args(QStringLiteral("SetBusyPointer")),
                 QStringList({QStringLiteral("busy"), QStringLiteral("default")}));
        QVERIFY(!env.folder.Exists(QStringLiteral("banterly.log")));
        QVERIFY(!env.folder.Exists(QStringLiteral("error.log")));
        QVERIFY(about.isVisible());
    }

    void okEnterAndEscCloseOnlyTheAboutWindow_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("Esc") << 2;
        QTest::newRow("close box") << 3;
    }
    void okEnterAndEscCloseOnlyTheAboutWindow()
    {
        QFETCH(int, how);
        Env env;
        QPointer<frmAbout> about = &OpenAbout(env);
        switch (how) {
        case 0: about->cmdOK->click(); break;
        case 1: QTest::keyClick(about.data(), Qt::Key_Return); break;
        case 2: QTest::keyClick(about.data(), Qt::Key_Escape); break;
        default: about->close(); break;
        }
        FlushDeletes();
        QVERIFY(about.isNull());
        QVERIFY(App().IsOptionsLoaded());
        QVERIFY(App().Options().isVisible());
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileString")), 0);
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileStrings")), 0);
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
