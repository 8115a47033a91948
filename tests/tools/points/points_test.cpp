// vr620-points: the value views and the check before a write, the list file, the command line
// and the texts; then the real window on the offscreen platform against vr620-gatewayd and the
// simulated controller: a read, a write read back, refused writes, ERROR in the gateway's words
// (and without them from a gateway that does not know LAST_REASON), a watched point that
// changes, the line pulled out and plugged in, and the gateway going away and coming back.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QChart>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTranslator>
#include <filesystem>

#include "gateway_client.h"
#include "gateway_link.h"
#include "loopback.h"
#include "point_value.h"
#include "points_csv.h"
#include "points_language.h"
#include "points_options.h"
#include "points_window.h"
#include "program_run.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "trend_chart.h"

// Window texts in the failure messages.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using points::PointsWindow;
using vr620_test::ProgramRun;

TEST(PointValues, FourViewsAndTheCheckBeforeAWrite) {
    const auto ab = points::DescribeValue({0xAA, 0xBB});
    EXPECT_EQ(ab.hex, "AA BB");
    EXPECT_EQ(ab.unsignedValue, 43707u);
    EXPECT_EQ(ab.signedValue, -21829);
    EXPECT_FALSE(ab.text);
    const auto name = points::DescribeValue({'V', 'R', '-', '6', '2', '0', 0, 0});
    EXPECT_EQ(name.text, "VR-620");
    EXPECT_EQ(points::DescribeValue({0x7F}).signedValue, 127);
    EXPECT_EQ(points::DescribeValue({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}).signedValue,
              -2);
    // Nine bytes are no integer; nothing at all is neither number nor text.
    EXPECT_FALSE(points::DescribeValue(points::Bytes(9, 1)).unsignedValue);
    EXPECT_FALSE(points::DescribeValue({}).text);

    using points::ValueCheck;
    points::Bytes value;
    EXPECT_EQ(points::CheckWriteValue(" 12 34", 253, value), ValueCheck::kOk);
    EXPECT_EQ(value, (points::Bytes{0x12, 0x34}));
    EXPECT_EQ(points::CheckWriteValue("abCD", 253, value), ValueCheck::kOk);
    for (const char* bad : {"1 234", "123", "zz", "12,34", "0x12"})
        EXPECT_EQ(points::CheckWriteValue(bad, 253, value), ValueCheck::kNotHex) << bad;
    EXPECT_EQ(points::CheckWriteValue("  ", 253, value), ValueCheck::kEmpty);
    EXPECT_EQ(points::CheckWriteValue(std::string(506, 'F'), 253, value), ValueCheck::kOk);
    EXPECT_EQ(points::CheckWriteValue(std::string(508, 'F'), 253, value), ValueCheck::kTooLong);

    EXPECT_EQ(points::ParsePointNumber("0x0102"), 0x0102);
    EXPECT_EQ(points::ParsePointNumber(" ffff "), 0xFFFF);
    EXPECT_FALSE(points::ParsePointNumber("10000"));
    EXPECT_FALSE(points::ParsePointNumber("12g"));
}

TEST(PointsList, CsvBothWaysAndItsFaultsByLine) {
    const std::vector<points::PointEntry> entries{
        {0x0102, "Supply, \"main\"", true}, {0x0001, "", false}, {0xFF05, "Slow", true}};
    const std::string text = points::WritePointsCsv(entries);
    EXPECT_EQ(text, "point,name,watch\n0102,\"Supply, \"\"main\"\"\",1\n0001,,0\nFF05,Slow,1\n");
    const points::CsvResult back = points::ReadPointsCsv(text);
    ASSERT_EQ(back.error, points::CsvError::kNone);
    ASSERT_EQ(back.entries.size(), 3u);
    EXPECT_EQ(back.entries[0].name, "Supply, \"main\"");
    EXPECT_TRUE(back.entries[2].watch);

    // A spreadsheet's semicolons and CR LF, no header, a point alone on its line.
    const auto semicolons = points::ReadPointsCsv("0x10;Counter;1\r\n\r\n20\r\n");
    ASSERT_EQ(semicolons.entries.size(), 2u);
    EXPECT_EQ(semicolons.entries[0].point, 0x10);
    EXPECT_EQ(semicolons.entries[1].point, 0x20);
    EXPECT_FALSE(semicolons.entries[1].watch);

    const auto twice = points::ReadPointsCsv("point,name,watch\n0102,a,0\n102,b,1\n");
    EXPECT_EQ(twice.error, points::CsvError::kDuplicate);
    EXPECT_EQ(twice.line, 3);
    EXPECT_TRUE(twice.entries.empty());
    EXPECT_EQ(points::ReadPointsCsv("0102,a,yes\n").error, points::CsvError::kBadWatch);
    EXPECT_EQ(points::ReadPointsCsv("x,a\n").error, points::CsvError::kBadPoint);
    EXPECT_EQ(points::ReadPointsCsv("0102,\"a\n").error, points::CsvError::kBadQuotes);
}

TEST(PointsProgram, CommandLineAndTexts) {
    auto options = points::ParsePointsOptions({"HOST=far.example", "PORT=7300", "LANG=SWE"});
    EXPECT_EQ(options.host, "far.example");
    EXPECT_EQ(options.port, 7300);
    EXPECT_EQ(options.language, "SWE");
    // As the manager takes them: a bad port is 7105, lower-case keys are no keys.
    options = points::ParsePointsOptions({"PORT=70000", "LANG=", "host=x", "-platform"});
    EXPECT_EQ(options.port, 7105);
    EXPECT_EQ(options.language, "FIN");
    EXPECT_EQ(options.host, "localhost");
    EXPECT_EQ(options.ignored, (std::vector<std::string>{"host=x", "-platform"}));

    vr620_test::TempDir dir;
    ProgramRun help(VR620_POINTS_PATH, {"--help"}, dir.Path());
    ASSERT_TRUE(help.Wait());
    EXPECT_EQ(help.ExitCode(), 0);
    EXPECT_NE(help.Stdout().find("HOST=<host>"), std::string::npos) << help.Stdout();

    // The compiled texts are in the program; an unknown language gets the Finnish ones.
    const auto removeTranslators = [] {
        for (auto* t : qApp->findChildren<QTranslator*>()) delete t;
    };
    EXPECT_TRUE(points::UseLanguage("SWE"));
    EXPECT_EQ(QCoreApplication::translate("points::PointsWindow", "&Read"), "Lä&s");
    removeTranslators();
    EXPECT_FALSE(points::UseLanguage("DEU"));
    EXPECT_EQ(QCoreApplication::translate("points::PointsWindow", "&Read"), "&Lue");
    removeTranslators();
    EXPECT_TRUE(points::UseLanguage("ENG"));
    EXPECT_EQ(QCoreApplication::translate("points::PointsWindow", "&Read"), "&Read");
    removeTranslators();
}

// Runs the event loop until `condition` holds or 20 s have passed.
bool WaitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(20'000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// vr620-gatewayd from a folder of the test's own (its libducta.so and DUCTA.INI beside it),
// serving the simulator on COM1, and the window connected to it.
class PointsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Started()) << sim.Error();
        for (const char* file : {VR620_GATEWAYD_PATH, VR620_DUCTA_LIBRARY})
            fs::copy_file(file, dir / fs::path(file).filename().string());
        vr620_test::WriteFile(dir / "DUCTA.INI", "[Ports]\r\nCOM1=" + line + "\r\n");
        StartGateway();
        window = std::make_unique<PointsWindow>(link);
        window->show();
        // Connected, and the device opened (DEVICE_CONNECT goes first on a connection).
        ASSERT_TRUE(WaitFor([&] {
            return Label("connectionLabel").startsWith("connected to the gateway") &&
                   LogCount("DEVICE_CONNECT command received") == 1;
        })) << Label("connectionLabel");
    }

    void StartGateway() {
        fs::create_directories(dir / "run");
        gatewayd = std::make_unique<ProgramRun>(
            (dir / "vr620-gatewayd").string(),
            std::vector<std::string>{"--port", std::to_string(port), "--bind", "127.0.0.1"},
            dir / "run");
        ASSERT_TRUE(vr620_test::WaitUntil([&] {
            return gatewayd->Stdout().find("Listening to port") != std::string::npos;
        })) << gatewayd->Stderr();
    }
    int LogCount(const std::string& text) const {
        const std::string log = gatewayd->Stdout();
        int n = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    }

    QString Label(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
    QTableWidget& Table() const { return *window->findChild<QTableWidget*>("pointTable"); }
    QString Cell(std::uint16_t point, int column) const {
        const int row = window->RowOf(point);
        return row < 0 ? QString() : Table().item(row, column)->text();
    }
    // Types `text` into the edit called `name` and presses Enter there.
    void Type(const char* name, const QString& text) const {
        auto* edit = window->findChild<QLineEdit*>(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    vr620_test::TempDir dir;
    // A stable name that the simulator's SIGUSR1 takes away and SIGUSR2 brings back.
    std::string line = (dir / "ttyVR620").string();
    vr620_test::SimProcess sim{{"--link", line, "--baud", "38400", "--turnaround", "1"}};
    int port = vr620_test::FreePort();
    std::unique_ptr<ProgramRun> gatewayd;
    points::GatewayLink link{"127.0.0.1", static_cast<quint16>(port)};
    std::unique_ptr<PointsWindow> window;
};

TEST_F(PointsWindowTest, ReadsWritesRefusesAndWatches) {
    Type("pointEdit", "102");
    ASSERT_TRUE(WaitFor([&] { return Cell(0x0102, PointsWindow::kHexColumn) == "AA BB"; }))
        << Cell(0x0102, PointsWindow::kStatusColumn).toStdString();
    EXPECT_EQ(Cell(0x0102, PointsWindow::kUnsignedColumn), "43707");
    EXPECT_EQ(Cell(0x0102, PointsWindow::kSignedColumn), "-21829");
    EXPECT_EQ(Cell(0x0102, PointsWindow::kPointColumn), "0102");

    // A write goes and is read back.
    Type("pointEdit", "0010");
    ASSERT_TRUE(WaitFor([&] { return Cell(0x0010, PointsWindow::kHexColumn) == "12 34"; }));
    Type("valueEdit", "56 78");
    ASSERT_TRUE(WaitFor([&] { return Cell(0x0010, PointsWindow::kHexColumn) == "56 78"; }));
    EXPECT_TRUE(Cell(0x0010, PointsWindow::kStatusColumn).startsWith("OK "));
    EXPECT_EQ(LogCount("SNVT_WRITE command received"), 1);

    // Refused before they go: not hexadecimal, too long; nothing reaches the gateway.
    Type("valueEdit", "12 3");
    EXPECT_TRUE(Label("messageLabel").contains("is not hexadecimal bytes"))
        << Label("messageLabel").toStdString();
    Type("valueEdit", QString("AB").repeated(254));
    EXPECT_TRUE(Label("messageLabel").contains("254 bytes is too long"));
    window->findChild<QPushButton*>("readAllButton")->click();
    ASSERT_TRUE(WaitFor([&] { return link.Pending() == 0; }));
    EXPECT_EQ(LogCount("SNVT_WRITE command received"), 1);

    // A point the controller does not know: ERROR, in the gateway's words.
    Type("pointEdit", "7777");
    ASSERT_TRUE(WaitFor([&] {
        return Cell(0x7777, PointsWindow::kStatusColumn) == "ERROR: request refused by the device";
    })) << Cell(0x7777, PointsWindow::kStatusColumn);
    EXPECT_EQ(Label("messageLabel"), "Point 7777: ERROR: request refused by the device");
    EXPECT_TRUE(Cell(0x7777, PointsWindow::kHexColumn).isEmpty());

    // Watched, a change made by another client is highlighted and drawn.
    Table().item(window->RowOf(0x0010), PointsWindow::kWatchColumn)->setCheckState(Qt::Checked);
    Table().setCurrentCell(window->RowOf(0x0010), PointsWindow::kPointColumn);
    vr620::GatewayClient other;
    const auto connected = other.Connect("127.0.0.1", port, 5s);
    ASSERT_TRUE(connected.Ok()) << connected.Why().words;
    const std::uint8_t value[] = {0x00, 0x2A};
    ASSERT_TRUE(other.Write(0x0010, value).Ok());
    ASSERT_TRUE(WaitFor([&] { return Cell(0x0010, PointsWindow::kHexColumn) == "00 2A"; }));
    const int row = window->RowOf(0x0010);
    EXPECT_NE(Table().item(row, PointsWindow::kSignedColumn)->background(), QBrush());
    EXPECT_EQ(Table().item(window->RowOf(0x0102), PointsWindow::kHexColumn)->background(),
              QBrush());
    // The next poll reads the same value: the mark goes.
    ASSERT_TRUE(WaitFor(
        [&] { return Table().item(row, PointsWindow::kHexColumn)->background() == QBrush(); }));
    const QChart* trend = window->findChild<points::TrendChart*>("trendChart")->chart();
    ASSERT_EQ(trend->series().size(), 1);
    EXPECT_GE(qobject_cast<const QLineSeries*>(trend->series().first())->count(), 3);
}

TEST_F(PointsWindowTest, TheLinePulledOutIsSaidOnlyWhileItIsSo) {
    Type("pointEdit", "0102");
    ASSERT_TRUE(WaitFor([&] { return Cell(0x0102, PointsWindow::kHexColumn) == "AA BB"; }));
    const QString connected = "connected to the gateway at 127.0.0.1:" + QString::number(port);
    const QString lost = "port " + QString::fromStdString(line) + " lost";

    sim.Signal(SIGUSR1);
    ASSERT_TRUE(WaitFor([&] { return LogCount("Device on COM1 (" + line + ") lost") == 1; }));
    window->findChild<QPushButton*>("readButton")->click();
    ASSERT_TRUE(WaitFor([&] {
        return Cell(0x0102, PointsWindow::kStatusColumn) == "ERROR: " + lost;
    })) << Cell(0x0102, PointsWindow::kStatusColumn);
    EXPECT_EQ(Label("messageLabel"), "Point 0102: ERROR: " + lost);
    EXPECT_EQ(Label("connectionLabel"), connected);

    // Plugged in and read fine: the loss is no longer said.
    sim.Signal(SIGUSR2);
    ASSERT_TRUE(WaitFor([&] { return LogCount("Device on COM1 (" + line + ") back") == 1; }));
    window->findChild<QPushButton*>("readButton")->click();
    ASSERT_TRUE(WaitFor([&] {
        return Cell(0x0102, PointsWindow::kStatusColumn).startsWith("OK ");
    })) << Cell(0x0102, PointsWindow::kStatusColumn);
    EXPECT_TRUE(Label("messageLabel").isEmpty()) << Label("messageLabel");
    EXPECT_FALSE(window->findChild<QLabel*>("messageLabel")->isVisible());

    // Pulled out again, and a gateway started afresh cannot open the line: its connection
    // says why, and the reads what they were told.
    sim.Signal(SIGUSR1);
    ASSERT_TRUE(WaitFor([&] { return LogCount("Device on COM1 (" + line + ") lost") == 2; }));
    gatewayd->Signal(SIGTERM);
    ASSERT_TRUE(gatewayd->Wait());
    StartGateway();
    ASSERT_TRUE(WaitFor([&] {
        return Label("connectionLabel") == connected + ", but it could not open the device: port " +
                                               QString::fromStdString(line) + " missing";
    })) << Label("connectionLabel");
    ASSERT_TRUE(WaitFor([&] {
        return Label("messageLabel") == "Point 0102: ERROR: device not connected";
    })) << Label("messageLabel");
}

TEST_F(PointsWindowTest, TheGatewayGoingAwayAndComingBack) {
    Type("pointEdit", "0102");
    ASSERT_TRUE(WaitFor([&] { return Cell(0x0102, PointsWindow::kHexColumn) == "AA BB"; }));

    QStringList states;
    QObject::connect(&link, &points::GatewayLink::StateChanged,
                     [&](auto, const QString& text) { states << text; });
    gatewayd->Signal(SIGTERM);
    ASSERT_TRUE(gatewayd->Wait());
    ASSERT_TRUE(WaitFor([&] {
        return !states.filter("the connection to the gateway was lost").isEmpty();
    })) << states.join('\n');
    // While it is away the tries fail in words, and nothing hangs.
    ASSERT_TRUE(WaitFor([&] {
        return Label("connectionLabel").contains("cannot reach the gateway");
    })) << Label("connectionLabel").toStdString();
    window->findChild<QPushButton*>("readButton")->click();
    EXPECT_EQ(Cell(0x0102, PointsWindow::kStatusColumn), "not done: not connected to the gateway");

    // Back on the same port: connected again by itself, and the table read afresh.
    StartGateway();
    ASSERT_TRUE(WaitFor([&] { return LogCount("SNVT_READ command received") >= 1; }));
    ASSERT_TRUE(WaitFor([&] {
        return Cell(0x0102, PointsWindow::kStatusColumn).startsWith("OK ");
    })) << Cell(0x0102, PointsWindow::kStatusColumn)
        << gatewayd->Stdout();
    EXPECT_EQ(LogCount("DEVICE_CONNECT command received"), 1);
    // Connected again: the loss and the tries are no longer said.
    EXPECT_EQ(Label("connectionLabel"),
              "connected to the gateway at 127.0.0.1:" + QString::number(port));
    EXPECT_TRUE(Label("messageLabel").isEmpty()) << Label("messageLabel");

    // Closing the window says DEVICE_DISCONNECT, then the link is closed.
    bool closed = false;
    QObject::connect(&link, &points::GatewayLink::Closed, [&] { closed = true; });
    window->close();
    ASSERT_TRUE(WaitFor([&] { return closed; }));
    EXPECT_EQ(LogCount("DEVICE_DISCONNECT command received from client on "), 1);
}

// A gateway of before LAST_REASON, on Qt's event loop: DEVICE_CONNECT OK, every read ERROR, and
// the question echoed up to its first zero byte, that is an empty reply.
class EchoingGateway {
  public:
    EchoingGateway() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* peer = server_.nextPendingConnection();
            ++connections;
            QObject::connect(peer, &QTcpSocket::readyRead, [this, peer] { Answer(*peer); });
        });
    }
    quint16 Port() const { return server_.serverPort(); }
    int connections = 0;
    int questions = 0;

  private:
    void Answer(QTcpSocket& peer) {
        received_ += peer.readAll();
        while (received_.size() >= 9) {  // the requests here carry no data
            QByteArray body = received_.mid(4, 5);
            received_.remove(0, 9);
            if (body[1] == gateway::kSnvtRead) body[4] = static_cast<char>(gateway::kStatusError);
            if (body[1] == gateway::kLastReason) {
                ++questions;
                body.clear();
            }
            const auto length = gateway::EncodeLength(static_cast<std::uint32_t>(body.size()));
            peer.write(QByteArray(reinterpret_cast<const char*>(length.data()), 4) + body);
        }
    }
    QTcpServer server_;
    QByteArray received_;
};

TEST(PointsWindowEcho, AGatewayWithoutLastReasonGetsTheGeneralWords) {
    EchoingGateway gateway;
    points::GatewayLink link("127.0.0.1", gateway.Port());
    PointsWindow window(link);
    window.AddPoint(0x0102);  // read once connected
    auto& table = *window.findChild<QTableWidget*>("pointTable");
    const auto status = [&] { return table.item(0, PointsWindow::kStatusColumn)->text(); };
    ASSERT_TRUE(WaitFor([&] { return gateway.questions == 1 && status() == "ERROR"; })) << status();
    EXPECT_EQ(window.findChild<QLabel*>("messageLabel")->text(),
              "Point 0102: ERROR: the controller did not answer, or it does not know this point.");
    // The empty reply is no fault of the connection: the next read goes on it.
    window.ReadAll();
    ASSERT_TRUE(WaitFor([&] { return gateway.questions == 2 && status() == "ERROR"; }));
    EXPECT_EQ(gateway.connections, 1);
}

}  // namespace

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
