#include "extras/HyperLink.h"
#include "extras/AboutDialog.h"
#include "extras/LinkRules.h"
#include "platform/DialogBuilder.h"
#include "support/EventLoop.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QThread>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

// The environment a link opens in: a default handler that fails, a PATH
// of the test's own and no $BROWSER; all put back afterwards.
class OpeningWorld {
public:
    OpeningWorld()
        : previousHandler_(HyperLink::SetDefaultHandler([this](const QUrl& url) {
            asked.push_back(url.toString());
            return handlerWorks;
        }))
    {
        if (const char* p = std::getenv("PATH"))
            path_ = p;
        if (const char* b = std::getenv("BROWSER"))
            browser_ = b;
        ::setenv("PATH", bin.path().c_str(), 1);
        ::unsetenv("BROWSER");
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(cwd.path()));
    }
    ~OpeningWorld()
    {
        HyperLink::SetDefaultHandler(previousHandler_);
        ::setenv("PATH", path_.c_str(), 1);
        if (browser_)
            ::setenv("BROWSER", browser_->c_str(), 1);
        QDir::setCurrent(previousDir_);
    }
    OpeningWorld(const OpeningWorld&) = delete;
    OpeningWorld& operator=(const OpeningWorld&) = delete;

    // A browser that writes its argument count and arguments, one a line.
    std::string AddRecordingBrowser(const std::string& name)
    {
        const std::string out = cwd / "args.txt";
        const std::string script = bin / name;
        WriteFile(script,
            "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" + out
                + ".part' && /bin/mv '" + out + ".part' '" + out + "'\n");
        ::chmod(script.c_str(), 0755);
        return out;
    }

    TempDir bin;
    TempDir cwd;
    bool handlerWorks = false;
    std::vector<QString> asked;
    ScriptedMessageBox boxes;

private:
    HyperLink::DefaultHandler previousHandler_;
    std::string path_;
    std::optional<std::string> browser_;
    QString previousDir_;
};

bool waitForFile(const std::string& path)
{
    for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i)
        QThread::msleep(10);
    return std::filesystem::exists(path);
}

void click(QWidget* w)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

bool drawsIn(QWidget* w, const QColor& colour)
{
    const QImage image = w->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
        }
    }
    return false;
}

} // namespace

TEST(HyperLinkAttach, EmptyTextShowsTheLinkAndNoLinkTakesTheText)
{
    QWidget dialog;
    auto* empty = new QLabel(&dialog);
    HyperLink withLink;
    withLink.SetLink(QStringLiteral("https://www.example.org/"));
    withLink.AttachToControl(empty);
    EXPECT_EQ(empty->text(), QStringLiteral("https://www.example.org/"));
    EXPECT_EQ(empty->toolTip(), QStringLiteral("https://www.example.org/"));
    EXPECT_TRUE(empty->font().underline());
    EXPECT_EQ(empty->cursor().shape(), Qt::PointingHandCursor);

    auto* text = new QLabel(QStringLiteral("email: a@example.com"), &dialog);
    HyperLink noLink;
    noLink.AttachToControl(text);
    EXPECT_EQ(noLink.link(), QStringLiteral("email: a@example.com"));
    noLink.SetLink(QStringLiteral("mailto:a@example.com"));
    EXPECT_EQ(text->text(), QStringLiteral("email: a@example.com")) << "the text stays";
    EXPECT_EQ(text->toolTip(), QStringLiteral("mailto:a@example.com"));
}

TEST(HyperLinkAttach, CentredControlShrinksAroundItsCentreLeftAlignedKeepsItsLeftEdge)
{
    QWidget dialog;
    auto* centred = new QLabel(QStringLiteral("ab"), &dialog);
    centred->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    centred->setGeometry(20, 10, 301, 40);
    auto* left = new QLabel(QStringLiteral("ab"), &dialog);
    left->setGeometry(20, 60, 301, 40);
    HyperLink a;
    HyperLink b;
    a.AttachToControl(centred);
    b.AttachToControl(left);
    const QRect c = centred->geometry();
    EXPECT_LT(c.width(), 100);
    EXPECT_LE(std::abs((c.left() + c.left() + c.width()) - (20 + 20 + 301)), 1)
        << "centre moved: " << c.left() << "+" << c.width();
    EXPECT_EQ(left->geometry().left(), 20);
    EXPECT_EQ(left->geometry().width(), c.width());
}

TEST(HyperLinkHover, EnterShowsTheHoverColourAtOnceLeaveRestoresIt)
{
    QWidget dialog;
    auto* label = new QLabel(QStringLiteral("Varda"), &dialog);
    label->setGeometry(0, 0, 200, 30);
    HyperLink link;
    link.AttachToControl(label);
    dialog.show();
    const QColor hover = QApplication::palette().color(QPalette::Highlight);
    ASSERT_NE(hover.rgb(), QColor(0, 0, 238).rgb());
    EXPECT_TRUE(drawsIn(label, QColor(0, 0, 238)));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(label, &enter);
    EXPECT_TRUE(link.hovering());
    EXPECT_TRUE(drawsIn(label, hover));
    EXPECT_FALSE(drawsIn(label, QColor(0, 0, 238)));

    link.MarkVisited(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(link.hovering());
    EXPECT_TRUE(drawsIn(label, QColor(85, 26, 139)));
    EXPECT_FALSE(drawsIn(label, hover));
}

TEST(HyperLinkOpen, FailuresBeepAndNameTheReasonInTheBox)
{
    OpeningWorld world;
    QWidget dialog;
    auto* label = new QLabel(QStringLiteral("Varda"), &dialog);
    HyperLink link;
    link.AttachToControl(label);
    link.SetLink(QStringLiteral("https://www.example.org/varda/"));

    // No default handler and no browser command.
    click(label);
    ASSERT_EQ(world.asked.size(), 1U);
    ASSERT_EQ(world.boxes.shown.size(), 1U);
    EXPECT_EQ(world.boxes.shown[0].text,
        QStringLiteral("Unable to open hyperlink:\n\nThere is no application associated\nwith the "
                       "given filename extension."));
    EXPECT_EQ(world.boxes.shown[0].icon, MessageBox::Icon::Exclamation);
    EXPECT_FALSE(link.visited());

    // $BROWSER names a file that may not be run, then one that is not there.
    const std::string plain = world.bin / "not-a-program";
    WriteFile(plain, "#!/bin/sh\n");
    ::chmod(plain.c_str(), 0644);
    ::setenv("BROWSER", plain.c_str(), 1);
    link.Activate();
    ::setenv("BROWSER", (world.bin / "gone").c_str(), 1);
    link.Activate();
    ::unsetenv("BROWSER");
    ASSERT_EQ(world.boxes.shown.size(), 3U);
    EXPECT_EQ(world.boxes.shown[1].text,
        QStringLiteral("Unable to open hyperlink:\n\nThe operating system denied\naccess to the "
                       "specified file."));
    EXPECT_EQ(world.boxes.shown[2].text,
        QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));

    // The desktop's handler works: no box, the link is visited.
    world.handlerWorks = true;
    click(label);
    EXPECT_EQ(world.boxes.shown.size(), 3U);
    EXPECT_TRUE(link.visited());
    EXPECT_EQ(link.textColour(), QColor(85, 26, 139));
}

TEST(HyperLinkOpen, BrowserGetsTheTargetAsOneLiteralArgumentAndNoShellRunsIt)
{
    OpeningWorld world;
    const std::string args = world.AddRecordingBrowser("x-www-browser");
    const QString target
        = QStringLiteral("https://example.org/a b;touch y; \"q\" 'r' $(touch x) `touch z`");
    HyperLink link;
    link.SetLink(target);
    link.Activate();
    EXPECT_TRUE(world.boxes.shown.empty());
    EXPECT_TRUE(link.visited());
    ASSERT_TRUE(waitForFile(args));
    EXPECT_EQ(ReadFile(args), "1\n" + target.toStdString() + "\n");
    for (const char* made : { "x", "y", "z" })
        EXPECT_FALSE(std::filesystem::exists(world.cwd / made)) << made;

    // A command line past 519 characters is refused, not cut.
    std::filesystem::remove(args);
    const std::string command = "x-www-browser";
    link.SetLink(QString(static_cast<int>(link_rules::kMaxCommandLine - command.size()), 'a'));
    link.Activate();
    ASSERT_EQ(world.boxes.shown.size(), 1U);
    EXPECT_EQ(world.boxes.shown[0].text,
        QStringLiteral("Unable to open hyperlink:\n\nThere is no application associated\nwith the "
                       "given filename extension."));
    QThread::msleep(200);
    EXPECT_FALSE(std::filesystem::exists(args));
}

TEST(HyperLinkOpen, TheOpenersExitDecidesTheBoxAndTheVisitAndAClickMeanwhileIsIgnored)
{
    OpeningWorld world;
    HyperLink::SetDefaultHandler({});
    const std::string calls = world.cwd / "calls";
    const std::string code = world.cwd / "code";
    const std::string script = world.bin / "xdg-open";
    WriteFile(script,
        "#!/bin/sh\necho \"$$ $1\" >> '" + calls + "'\n/bin/sleep 0.3\nexit $(/bin/cat '" + code
            + "')\n");
    ::chmod(script.c_str(), 0755);
    QWidget dialog;
    auto* label = new QLabel(QStringLiteral("Varda"), &dialog);
    HyperLink link;
    link.AttachToControl(label);
    link.SetLink(QStringLiteral("https://www.example.org/varda/"));

    WriteFile(code, "4\n");
    click(label);
    click(label);
    EXPECT_TRUE(link.opening());
    EXPECT_TRUE(world.boxes.shown.empty()) << "no verdict before the opener ends";
    ASSERT_TRUE(spinUntil([&] { return !link.opening(); }));
    ASSERT_EQ(world.boxes.shown.size(), 1U);
    EXPECT_EQ(world.boxes.shown[0].text,
        QStringLiteral("Unable to open hyperlink:\n\nThe filename association is\nincomplete or "
                       "invalid."));
    EXPECT_FALSE(link.visited());
    const std::string first = ReadFile(calls);
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 1) << first;
    EXPECT_NE(first.find(" https://www.example.org/varda/\n"), std::string::npos) << first;
    // Reaped: not even a zombie is left.
    const std::string pid = first.substr(0, first.find(' '));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + pid)) << pid;

    WriteFile(code, "0\n");
    link.Activate();
    ASSERT_TRUE(spinUntil([&] { return !link.opening(); }));
    EXPECT_EQ(world.boxes.shown.size(), 1U);
    EXPECT_TRUE(link.visited());

    // The window closes, or the link goes with it, while the opener runs.
    WriteFile(code, "3\n");
    dialog.show();
    link.Activate();
    dialog.hide();
    auto* gone = new HyperLink;
    gone->SetLink(QStringLiteral("https://www.example.org/gone/"));
    gone->Activate();
    delete gone;
    ASSERT_TRUE(spinUntil([&] { return !link.opening(); }));
    ASSERT_TRUE(spinUntil([&] {
        const std::string all = ReadFile(calls);
        return std::count(all.begin(), all.end(), '\n') == 4;
    }));
    QThread::msleep(400);
    QCoreApplication::processEvents();
    EXPECT_EQ(world.boxes.shown.size(), 1U);
}

TEST(AboutBox, AddressOpensANewMailAndTheLogoTheMakersPage)
{
    OpeningWorld world;
    world.handlerWorks = true;
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("O programie"));
    auto* mail = qobject_cast<QLabel*>(DialogBuilder::Control(&about, AboutDialog::IDC_MAIL));
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->text(), QStringLiteral("email: biuro@orlent.example.com"));
    click(mail);
    click(DialogBuilder::Control(&about, AboutDialog::IDC_LOGO));
    ASSERT_EQ(world.asked.size(), 2U);
    EXPECT_EQ(world.asked[0], QStringLiteral("mailto:biuro@orlent.example.com"));
    EXPECT_EQ(world.asked[1], QStringLiteral("https://www.orlent.example.com/"));
    EXPECT_TRUE(about.mailLink().visited());

    // The logo's link has no control: its failure is still beeped and shown.
    world.handlerWorks = false;
    about.OnLogoClicked();
    ASSERT_EQ(world.boxes.shown.size(), 1U);
    EXPECT_TRUE(world.boxes.shown[0].text.startsWith(QStringLiteral("Unable to open hyperlink:")));
}
