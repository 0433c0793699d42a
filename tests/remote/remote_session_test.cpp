// Commands against a fake instrument, as a client sees them: one script of lines with the
// answer and the error each leaves, then the two ways a session waits: for a command still
// inside the instrument, and for *OPC?.
#include "remote/remote_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_instrument.h"

namespace brevane::remote {
namespace {

struct client {
  client(remote_instrument& instrument, instrument_status& status)
      : session(
            instrument, status,
            [this](std::string_view bytes) {
              said += bytes;
              return true;
            },
            [this] { ++wakes; }) {}

  // Sends a line and returns what came back since the last call.
  std::string ask(const std::string& line) {
    session.push(line);
    session.run();
    return take();
  }
  std::string take() {
    std::string out;
    out.swap(said);
    return out;
  }

  std::string said;
  int wakes = 0;
  remote_session session;
};

TEST(RemoteSession, EveryCommandAnswersAndLeavesItsError) {
  testing::fake_instrument fake;
  fake.readings = 3;
  fake.record = "/data/scans/scan \"a\".jsonl";
  fake.status = {sweep_status::phase::idle, 2, 1, 3, 4, 37.5, 72};
  instrument_status status;
  client c(fake, status);
  const std::string ok = "0,\"No error\"\n";
  const std::string row0 = "1,up,point,1,0,100,140,72.25,14.5,0\n";
  const std::string row1 = "1,up,point,1,1,100,140,72.25,14.5,0\n";
  struct step {
    std::string line;
    std::string answer;
    std::string error;
  };
  const std::vector<step> script = {
      {"*IDN?", "Brevane,Brevane head,SIM,1.0.0\n", ok},
      {"MEAS:TEMP?;MEAS:DIST?", "72.25;14.5\n", ok},
      {"POS 120,150;POS?", "120,150\n", ok},
      {"POS 300,150;POS?", "", "-222,\"Data out of range;0 to 255\"\n"},
      {"POS 1e10,150", "",
       "-222,\"Data out of range;POS 10000000000: -2147483648 to 2147483647 allowed\"\n"},
      {"HOME;POS?", "170,170\n", ok},
      {"SWE:XMIN 110;XMIN?", "110\n", ok},
      {"SWE:XMIN?;XMIN 90;XMIN?", "110\n", "-222,\"Data out of range;xmin 90: 100 to 140\"\n"},
      {"SWE:XMAX 200;ZMIN 150;ZMAX 180;STEP 5;GAIN 20;XMAX?;ZMIN?;ZMAX?;STEP?;GAIN?",
       "200;150;180;5;20\n", ok},
      {"SWE:SON OFF;SON?;TEMP ON;TEMP?;REP OFF;REP?", "0;1;0\n", ok},
      {"SWE:ALAR:TEMP 90.5;DIST 12;TEMP?;DIST?", "90.5;12\n", ok},
      {"SWE:ALAR:DIST OFF;DIST?", "OFF\n", ok},
      {"SWE:ALAR:TEMP -1", "", "-222,\"Data out of range;0 to 11000\"\n"},
      {"SWE:PLAN?", "{\"xmin\":110}\n", ok},
      {"SWE:PLAN {\"xmin\": 120}", "", ok},
      {"SWE:PLAN [1;2]", "", "-222,\"Data out of range;not a plan\"\n"},
      {"*OPC?", "1\n", ok},
      {"SWE:STAR;STAT?", "RUNNING,2,1,3,4,37.5,72,NONE\n", ok},
      {"SWE:STAR", "", "-200,\"Execution error;the sweep is still running\"\n"},
      {"MEAS:TEMP?", "", "-200,\"Execution error;the sweep is still running\"\n"},
      {"*RST", "", "-200,\"Execution error;the sweep is still running\"\n"},
      {"SWE:PAUS;STAT?", "PAUSED,2,1,3,4,37.5,72,NONE\n", ok},
      {"SWE:PAUS", "", "-200,\"Execution error;no sweep is running\"\n"},
      {"SWE:RES;ABOR;:SWE:STAT?", "IDLE,2,1,3,4,37.5,72,NONE\n", ok},
      {"SWE:REP ON;*RST;SWE:XMIN?;REP?;CYCL?", "100;0;1\n", ok},
      {"SWE:CYCL INF;CYCL?;CYCL 3;CYCL?", "9.9E37;3\n", ok},
      {"SWE:CYCL 0", "", "-222,\"Data out of range;SWE:CYCL 0: 1 to 1000000 allowed\"\n"},
      {"SWE:GAIN MAX;GAIN?;GAIN? MIN;GAIN? DEF;GAIN DEF;GAIN?", "40;1;10;10\n", ok},
      {"SWE:ALAR:TEMP MAX;TEMP?;TEMP DEF;TEMP?;TEMP? DEF", "11000;OFF;OFF\n", ok},
      {"SWE:STEP MIN;STEP?;:SWE:CYCL? MAX", "1;1000000\n", ok},
      {"SWE:GAIN? 5", "",
       "-224,\"Illegal parameter value;SWE:GAIN? 5: MIN, MAX or DEF expected\"\n"},
      {"POS DEF,1", "", "-224,\"Illegal parameter value;POS DEF: no default value\"\n"},
      {"SWE:GAIN 2.5", "",
       "-222,\"Data out of range;SWE:GAIN 2.5: a whole number from 1 to 40\"\n"},
      {"SWEep1:STEP?", "",
       "-114,\"Header suffix out of range;SWEep1:STEP?: this header takes no number\"\n"},
      {"SYST:VERS?;*OPT?;*TST?", "1999.0;0;0\n", ok},
      {"SWE:RES:REC \"scan.jsonl\"", "",
       "-200,\"Execution error;this instrument cannot resume a sweep from its record\"\n"},
      {"DATA:COUN?", "3\n", ok},
      {"DATA:READ? 0,2", "#272" + row0 + row1 + "\n", ok},
      {"DATA:READ? 3,1;*IDN?", "#10;Brevane,Brevane head,SIM,1.0.0\n", ok},
      {"DATA:READ? 4,1", "", "-222,\"Data out of range;DATA:READ? 4: 0 to 3 allowed\"\n"},
      {"DATA:READ? 0,5001", "", "-222,\"Data out of range;DATA:READ? 5001: 0 to 5000 allowed\"\n"},
      {"DATA:REC?", "\"/data/scans/scan \"\"a\"\".jsonl\"\n", ok},
      {"*IDN?;FOO;*IDN?", "Brevane,Brevane head,SIM,1.0.0\n", "-113,\"Undefined header;FOO\"\n"},
      {"", "", ok},
  };
  for (const step& s : script) {
    EXPECT_EQ(c.ask(s.line), s.answer) << s.line;
    EXPECT_EQ(c.ask("SYST:ERR?"), s.error) << s.line;
  }
  EXPECT_TRUE(fake.flags["sonic_off"]);
  EXPECT_FALSE(fake.flags["temp_off"]);
  EXPECT_EQ(fake.plans, (std::vector<std::string>{"{\"xmin\": 120}", "[1;2]"}));

  // One queue for the instrument: what one client did wrong, the next reads, and *CLS from
  // any client clears it.
  client other(fake, status);
  c.ask("FOO;*IDN?");
  c.ask("BAR");
  EXPECT_EQ(other.ask("SYST:ERR:COUN?"), "2\n");
  EXPECT_EQ(other.ask("SYST:ERR?"), "-113,\"Undefined header;FOO\"\n");
  c.ask("BAZ");
  EXPECT_EQ(c.ask("SYST:ERR:ALL?"),
            "-113,\"Undefined header;BAR\",-113,\"Undefined header;BAZ\"\n");
  c.ask("FOO");
  other.ask("*CLS");
  EXPECT_EQ(c.ask("SYST:ERR:ALL?"), ok);
}

TEST(RemoteSession, StatusRegistersLatchWhatHappenedUntilRead) {
  testing::fake_instrument fake;
  instrument_status status;
  client c(fake, status);
  // Each error class sets its bit of the event status register; *ESE and *SRE select them.
  EXPECT_EQ(c.ask("*ESE 60;*SRE 32;FOO"), "");
  EXPECT_EQ(c.ask("*STB?"), "100\n");  // error queue 4, event status 32, summary 64
  EXPECT_EQ(c.ask("SWE:GAIN 99"), "");
  EXPECT_EQ(c.ask("*ESR?;*ESR?"), "48;0\n");
  EXPECT_EQ(c.ask("*ESE?;*SRE?;*ESE 256"), "60;32\n");
  c.ask("*CLS");
  EXPECT_EQ(c.ask("*STB?"), "0\n");

  // A sweep that starts, pauses and ends between two reads leaves its events; the condition
  // shows the present only.
  c.ask("STAT:OPER:ENAB 8;NTR 256;:STAT:QUES:ENAB 512");
  fake.now.sweeping = true;
  EXPECT_EQ(c.ask("STAT:OPER:COND?"), "8\n");
  fake.now.paused = true;
  c.ask("*STB?");
  fake.now = {};
  fake.now.head_lost = true;
  EXPECT_EQ(c.ask("*STB?;STAT:OPER?;STAT:OPER?;OPER:COND?"), "136;264;0;0\n");
  EXPECT_EQ(c.ask("STAT:QUES:EVEN?;COND?;*STB?;*TST?"), "512;512;0;1\n");
  c.ask("STAT:PRES");
  EXPECT_EQ(c.ask("STAT:OPER:ENAB?;NTR?;PTR?;:STAT:QUES:ENAB?"), "0;0;32767;0\n");

  // *OPC sets its bit once the operation in progress ends, even for a client gone by then.
  fake.start_sweep();
  {
    client gone(fake, status);
    gone.ask("*ESE 1;*OPC");
  }
  EXPECT_EQ(c.ask("*ESR?"), "0\n");
  fake.end_operation();
  EXPECT_EQ(c.ask("*ESR?;*STB?"), "1;0\n");
}

TEST(RemoteSession, LinesArrivingDuringAnOperationWaitTheirTurn) {
  testing::fake_instrument fake;
  instrument_status status;
  client a(fake, status);
  client b(fake, status);
  std::string b_heard;
  // While A's reading waits for the head, A's next line and B's lines arrive.
  fake.while_operating = [&] {
    EXPECT_EQ(a.ask("*IDN?"), "");
    b_heard = b.ask("SWE:STAT?;MEAS:DIST?");
    b_heard += b.ask("SYST:ERR?");
  };
  EXPECT_EQ(a.ask("MEAS:TEMP?"), "72.25\nBrevane,Brevane head,SIM,1.0.0\n");
  EXPECT_EQ(b_heard,
            "IDLE,0,0,0,0,0.0,-1,NONE\n"
            "-200,\"Execution error;MEASure:TEMPerature is still running\"\n");
}

TEST(RemoteSession, OpcHoldsOnlyTheAnswersBehindItAndWaiHoldsTheCommands) {
  testing::fake_instrument fake;
  instrument_status status;
  client a(fake, status);
  client b(fake, status);
  ASSERT_EQ(b.ask("SWE:STAR"), "");
  // What follows *OPC? runs at once; its answer waits behind the "1".
  EXPECT_EQ(a.ask("*OPC?;SWE:STAT?"), "");
  EXPECT_EQ(a.ask("SWE:XMIN 120;*IDN?"), "");
  EXPECT_FALSE(a.session.waiting());
  EXPECT_EQ(fake.integers["xmin"], 120);
  fake.end_operation();
  EXPECT_EQ(a.wakes, 1);
  a.session.run();
  EXPECT_EQ(a.take(), "1;RUNNING,0,0,0,0,0.0,-1,NONE\nBrevane,Brevane head,SIM,1.0.0\n");

  // ABORt after *OPC? on the same connection ends the sweep, and both answer.
  fake.start_sweep();
  EXPECT_EQ(a.ask("*OPC?"), "");
  EXPECT_EQ(a.ask("ABOR;SWE:STAT?"), "1\nIDLE,0,0,0,0,0.0,-1,NONE\n");

  // *WAI holds the later commands until the operation ends.
  fake.start_sweep();
  EXPECT_EQ(a.ask("*WAI;SWE:STAT?"), "");
  EXPECT_TRUE(a.session.waiting());
  fake.end_operation();
  a.session.run();
  EXPECT_EQ(a.take(), "IDLE,0,0,0,0,0.0,-1,NONE\n");

  // A client that leaves while its *OPC? waits is told nothing, and the operation's end
  // reaches neither it nor, once gone, its session.
  fake.start_sweep();
  {
    client gone(fake, status);
    gone.ask("*OPC?;*RST");
    gone.session.detach();
    gone.session.run();
    EXPECT_TRUE(gone.session.idle());
    EXPECT_EQ(gone.take(), "");
    client destroyed(fake, status);
    destroyed.ask("*OPC?");
  }
  fake.end_operation();
}

}  // namespace
}  // namespace brevane::remote
