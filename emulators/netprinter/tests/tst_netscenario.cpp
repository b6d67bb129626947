// Scenario files: parsing and its errors, the named states, how steps change the
// printer, and playing them in time.
#include "ovraemu/scenarioplayer.h"

#include <QTest>

#include <cmath>

using namespace ovraemu;

namespace {

const char* const kAfternoon = "# a printer's afternoon\n"
                               "0 ready toner=80\n"
                               "\n"
                               "0.3   printing      # first job\n"
                               "10 paper-out\n"
                               "30 toner-low toner=5\n"
                               "45 ready error=0x1212 warning=1121 error=11b0\n"
                               "50 silent\n"
                               "60 garbage toner=4\n"
                               "70 end\n";

using Codes = std::vector<uint16_t>;

Scenario Parsed(const std::string& text)
{
    Scenario scenario;
    ScenarioError error;
    if (!ParseScenario(text, &scenario, &error))
        qWarning("line %d: %s", error.line, error.message.c_str());
    return scenario;
}

// The toner item in whole percent (it is carried in hundredths).
int Toner(const EmuPrinterState& state)
{
    if (state.supplies.size() != 1 || state.supplies[0].tag != kTonerTag)
        return -1;
    const std::vector<uint8_t>& v = state.supplies[0].value;
    return int((uint32_t(v.at(0)) << 24 | uint32_t(v.at(1)) << 16 | uint32_t(v.at(2)) << 8 | v.at(3))
               / kTonerPerPercent);
}

// Plays with a fake clock: records every wait and stops at the given number of waits.
struct PlayerRun {
    std::vector<double> waits;
    std::vector<std::string> lines;
    std::vector<NetReplyMode> modes;
    int serialsKept = 0;
};

PlayerRun Play(const std::string& text, bool loop, size_t maxWaits)
{
    PlayerRun run;
    ScenarioPlayerHooks hooks;
    hooks.waitUntil = [&run, maxWaits](double seconds) {
        run.waits.push_back(seconds);
        return run.waits.size() < maxWaits && !std::isinf(seconds);
    };
    hooks.apply = [&run](const EmuPrinterState& state, NetReplyMode mode) {
        run.modes.push_back(mode);
        run.serialsKept += state.serial == "S1";
    };
    hooks.report = [&run](const std::string& line) { run.lines.push_back(line); };
    EmuPrinterState initial;
    initial.serial = "S1";
    PlayScenario(Parsed(text), loop, initial, "127.0.0.31", hooks);
    return run;
}

} // namespace

class TestNetScenario : public QObject
{
    Q_OBJECT

private slots:
    void namedStatesMapToCodes()
    {
        const auto code = [](const char* name) { return FindNamedState(name)->statusCode; };
        QVERIFY(code("ready") == 0x00 && code("init") == 0x01 && code("cancelling") == 0x03);
        QVERIFY(code("printing") == 0x10 && code("copying") == 0x12 && code("report") == 0x13);
        QCOMPARE(FindNamedState("paper-out")->errors, Codes{0x11A0});
        QCOMPARE(FindNamedState("paper-jam")->errors, Codes{0x11B0});
        QCOMPARE(FindNamedState("cover-open")->errors, Codes{0x1106});
        QCOMPARE(FindNamedState("toner-low")->warnings, Codes{0x110D});
        QVERIFY(FindNamedState("silent")->mode == NetReplyMode::Silent
                && !FindNamedState("silent")->SetsPrinterState());
        QVERIFY(FindNamedState("short")->mode == NetReplyMode::Short);
        QVERIFY(FindNamedState("garbage")->mode == NetReplyMode::Garbage);
        QVERIFY(!FindNamedState("Ready") && !FindNamedState("end"));
    }

    void goodScenarioParses()
    {
        const Scenario scenario = Parsed(kAfternoon);
        QCOMPARE(scenario.steps.size(), size_t(7));
        const std::vector<double> times = {0, 0.3, 10, 30, 45, 50, 60};
        const std::vector<std::string> names = {"ready", "printing", "paper-out", "toner-low",
                                                "ready", "silent",   "garbage"};
        const std::vector<int> lines = {2, 4, 5, 6, 7, 8, 9};
        for (size_t i = 0; i < 7; ++i) {
            const ScenarioStep& step = scenario.steps[i];
            QVERIFY2(step.atSeconds == times[i] && step.state.name == names[i] && step.line == lines[i],
                     names[i].c_str());
        }
        QVERIFY(scenario.steps[0].toner == 80 && !scenario.steps[1].toner && scenario.steps[3].toner == 5);
        QCOMPARE(scenario.steps[4].extraErrors, (Codes{0x1212, 0x11B0}));
        QCOMPARE(scenario.steps[4].extraWarnings, Codes{0x1121});
        QCOMPARE(scenario.steps[4].options, std::string("error=0x1212 warning=1121 error=11b0"));
        QVERIFY(scenario.endSeconds == 70.0);
    }

    void badLinesNameTheirLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown state") << "0 ready\n\n3 flying\n" << 3 << "unknown state 'flying' (known: ready, init";
        QTest::newRow("word for time") << "zero ready\n" << 1 << "'zero' is not a time";
        QTest::newRow("negative time") << "-1 ready\n" << 1 << "not a time";
        QTest::newRow("two points") << "1.2.3 ready\n" << 1 << "not a time";
        QTest::newRow("infinite time") << "inf ready\n" << 1 << "not a time";
        QTest::newRow("time goes back") << "5 ready\n2 printing\n" << 2 << "goes back";
        QTest::newRow("time alone") << "0 ready\n1\n" << 2 << "expected '<seconds> <state>";
        QTest::newRow("toner too high") << "0 ready toner=101\n" << 1 << "toner must be";
        QTest::newRow("toner negative") << "0 ready toner=-5\n" << 1 << "toner must be";
        QTest::newRow("option without value") << "0 ready toner\n" << 1 << "name=value";
        QTest::newRow("unknown option") << "0 ready colour=red\n" << 1 << "unknown option 'colour'";
        QTest::newRow("code too long") << "0 ready error=0x12345\n" << 1 << "16-bit hexadecimal";
        QTest::newRow("code on reply mode") << "0 ready\n1 silent error=0x11A0\n" << 2 << "takes no error";
        QTest::newRow("step after end") << "0 ready\n5 end\n6 printing\n" << 3 << "nothing may follow";
        QTest::newRow("end at last step") << "0 ready\n5 printing\n5 end\n" << 3 << "after the last step";
        QTest::newRow("end with option") << "0 ready\n5 end now\n" << 2 << "'end' takes no options";
        QTest::newRow("no steps") << "# nothing\n\n" << 0 << "no steps";
    }

    void badLinesNameTheirLine()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, message);
        Scenario scenario;
        ScenarioError error;
        QVERIFY(!ParseScenario(text.toStdString(), &scenario, &error));
        QCOMPARE(error.line, line);
        QVERIFY2(QString::fromStdString(error.message).contains(message), error.message.c_str());
    }

    void stepsChangeThePrinter()
    {
        EmuPrinterState state;
        state.product = "Ovra P2200DN";
        std::vector<EmuPrinterState> states;
        std::vector<NetReplyMode> modes;
        for (const ScenarioStep& step : Parsed(kAfternoon).steps) {
            modes.push_back(ApplyStep(step, &state));
            states.push_back(state);
        }
        QCOMPARE(states.size(), size_t(7));
        QVERIFY(states[0].statusCode == 0x00 && Toner(states[0]) == 80);
        QVERIFY(states[1].statusCode == 0x10 && Toner(states[1]) == 80); // toner kept
        QCOMPARE(states[2].errors, Codes{0x11A0});
        QVERIFY(states[3].errors.empty() && states[3].warnings == Codes{0x110D} && Toner(states[3]) == 5);
        QVERIFY(states[4].errors == (Codes{0x1212, 0x11B0}) && states[4].warnings == Codes{0x1121});
        // Reply modes keep the printer's state; their toner option still applies.
        QVERIFY(modes[5] == NetReplyMode::Silent && states[5].errors == states[4].errors);
        QVERIFY(modes[6] == NetReplyMode::Garbage && Toner(states[6]) == 4 && states[6].product == "Ovra P2200DN");
        QVERIFY(modes[0] == NetReplyMode::Normal && modes[4] == NetReplyMode::Normal);

        Scenario late = Parsed("2 printing\n");
        EnsureStartStep(&late, *FindNamedState("busy"));
        QVERIFY(late.steps.size() == 2 && late.steps[0].state.name == "busy" && late.steps[0].atSeconds == 0);
        EnsureStartStep(&late, *FindNamedState("ready"));
        QCOMPARE(late.steps.size(), size_t(2));
    }

    void playerPlaysInTime()
    {
        const PlayerRun once = Play("0 ready toner=80\n0.3 printing\n1.25 silent\n", false, 100);
        QVERIFY(once.waits.size() == 4 && once.waits[1] == 0.3 && once.waits[2] == 1.25 && std::isinf(once.waits[3]));
        QVERIFY(once.lines
                == (std::vector<std::string>{"[t=0s] 127.0.0.31 ready toner=80", "[t=0.3s] 127.0.0.31 printing",
                                             "[t=1.25s] 127.0.0.31 silent"}));
        QVERIFY(once.modes
                == (std::vector<NetReplyMode>{NetReplyMode::Normal, NetReplyMode::Normal, NetReplyMode::Silent}));
        QCOMPARE(once.serialsKept, 3);

        const PlayerRun looped = Play("0 ready\n0.5 printing\n2 end\n", true, 5);
        QCOMPARE(looped.waits, (std::vector<double>{0, 0.5, 2, 2.5, 4}));
        QVERIFY(looped.lines.size() == 4 && looped.lines.back() == "[t=2.5s] 127.0.0.31 printing");
        // Without an end line a round lasts one second past its last step.
        QCOMPARE(Play("0 ready\n0.5 printing\n", true, 4).waits, (std::vector<double>{0, 0.5, 1.5, 2}));
        // Stopped during a wait: that step is not applied.
        QCOMPARE(Play("0 ready\n0.5 printing\n", false, 2).lines.size(), size_t(1));

        ScenarioStep step;
        step.state = *FindNamedState("printing");
        step.options = "toner=5";
        QCOMPARE(FormatStepLine(0.1 + 0.2, "127.0.0.32", step), std::string("[t=0.3s] 127.0.0.32 printing toner=5"));
        QCOMPARE(FormatStepLine(120, "127.0.0.32", step), std::string("[t=120s] 127.0.0.32 printing toner=5"));
    }
};

QTEST_GUILESS_MAIN(TestNetScenario)
#include "tst_netscenario.moc"
