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
  explicit client(remote_instrument& instrument)
      : session(
            instrument,
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
  client c(fake);
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
      {"SWE:RES:REC \"scan.jsonl\"", "",
       "-200,\"Execution error;this instrument cannot resume a sweep from its record\"\n"},
      {"*RST;SWE:XMIN?", "100\n", ok},
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

  c.ask("FOO;*IDN?");
  c.ask("*CLS");
  EXPECT_EQ(c.ask("SYST:ERR?"), ok);
}

TEST(RemoteSession, LinesArrivingDuringAnOperationWaitTheirTurn) {
  testing::fake_instrument fake;
  client a(fake);
  client b(fake);
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

TEST(RemoteSession, OpcAnswersOnceTheOperationHasEndedAndHoldsUpOnlyItsClient) {
  testing::fake_instrument fake;
  client a(fake);
  client b(fake);
  ASSERT_EQ(b.ask("SWE:STAR"), "");
  EXPECT_EQ(a.ask("*OPC?;SWE:STAT?"), "");
  EXPECT_EQ(a.ask("*IDN?"), "");
  EXPECT_TRUE(a.session.waiting());
  EXPECT_EQ(b.ask("SWE:STAT?"), "RUNNING,0,0,0,0,0.0,-1,NONE\n");

  fake.end_operation();
  EXPECT_EQ(a.wakes, 1);
  a.session.run();
  EXPECT_EQ(a.take(), "1;IDLE,0,0,0,0,0.0,-1,NONE\nBrevane,Brevane head,SIM,1.0.0\n");

  // A client that leaves while its *OPC? waits is told nothing, and the operation's end
  // reaches neither it nor, once gone, its session.
  fake.start_sweep();
  {
    client gone(fake);
    gone.ask("*OPC?;*RST");
    gone.session.detach();
    gone.session.run();
    EXPECT_TRUE(gone.session.idle());
    EXPECT_EQ(gone.take(), "");
    EXPECT_EQ(gone.ask("SYST:ERR?"), "");
    client destroyed(fake);
    destroyed.ask("*OPC?");
  }
  fake.end_operation();
}

}  // namespace
}  // namespace brevane::remote
