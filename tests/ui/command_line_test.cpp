#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdlib>

#include "display/maps_render.h"

namespace brevane {
namespace {

TEST(CommandLine, NoArgumentsOpensTheWindowOnTheUsbHead) {
  std::string error;
  auto cl = parse_command_line({}, &error);
  ASSERT_TRUE(cl);
  EXPECT_FALSE(cl->simulate);
  EXPECT_FALSE(cl->headless_job());
  EXPECT_EQ(cl->echo_timeout_ms, 3000);
}

TEST(CommandLine, ReadsEveryOption) {
  std::string error;
  auto cl = parse_command_line(
      {"--simulate=latency=200,seed=5", "--trace", "t.txt", "--echo-timeout", "500", "--sweep",
       "--cycles=3", "--log-data", "--log-images", "--export-png", "maps.png"},
      &error);
  ASSERT_TRUE(cl) << error;
  ASSERT_TRUE(cl->simulate);
  EXPECT_EQ(cl->simulate->latency_ms, 200);
  EXPECT_EQ(cl->simulate->seed, 5u);
  EXPECT_EQ(cl->trace_file, "t.txt");
  EXPECT_EQ(cl->echo_timeout_ms, 500);
  EXPECT_TRUE(cl->sweep);
  EXPECT_EQ(cl->cycles, 3);
  EXPECT_TRUE(cl->log_data && cl->log_images);
  EXPECT_EQ(cl->export_file(export_format::png), "maps.png");
  EXPECT_TRUE(cl->headless_job());

  cl = parse_command_line({"--simulate=replay=rec.txt,latency=5"}, &error);
  ASSERT_TRUE(cl) << error;
  EXPECT_EQ(cl->simulate->replay, "rec.txt");
  EXPECT_EQ(cl->simulate->latency_ms, 5);

  cl = parse_command_line({"--simulate", "--upload-list", "list.txt"}, &error);
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->simulate->latency_ms, 0);
  EXPECT_EQ(cl->upload_list, "list.txt");
  EXPECT_TRUE(cl->data_folder.isEmpty());

  for (const QStringList& arguments :
       {QStringList{"--data-folder", "my data"}, QStringList{"--data-folder=my data"}}) {
    cl = parse_command_line(arguments, &error);
    ASSERT_TRUE(cl) << error;
    EXPECT_EQ(cl->data_folder, "my data");
  }

  cl = parse_command_line(
      {"--open", "scan.jsonl", "--cycle", "2", "--export-csv=out.csv", "--export-png", "out.png"},
      &error);
  ASSERT_TRUE(cl) << error;
  EXPECT_EQ(cl->open_record, "scan.jsonl");
  EXPECT_EQ(cl->cycle, 2);
  EXPECT_EQ(cl->export_file(export_format::csv), "out.csv");
  EXPECT_EQ(cl->export_file(export_format::png), "out.png");
  EXPECT_TRUE(cl->headless_job());
  cl = parse_command_line({"--open", "scan.jsonl"}, &error);
  ASSERT_TRUE(cl) << error;
  EXPECT_FALSE(cl->headless_job()) << "a record without an export opens in the window";
  cl = parse_command_line({"--simulate", "--sweep", "--export-png", "maps.png"}, &error);
  ASSERT_TRUE(cl) << error;
  EXPECT_EQ(cl->export_file(export_format::png), "maps.png");
}

// Every row of the export table is an option: with --open it names its own file; with --sweep
// it is taken only when a sweep writes that format.
TEST(CommandLine, EveryExportFormatIsAnOptionOfItsOwn) {
  for (const export_kind& k : export_kinds) {
    const QString option = QString::fromStdString(export_option(k));
    const QString file = QStringLiteral("out") + QLatin1String(k.extension);
    SCOPED_TRACE(option.toStdString());
    std::string error;
    const auto opened = parse_command_line({"--open", "r.jsonl", option, file}, &error);
    ASSERT_TRUE(opened) << error;
    for (const export_kind& other : export_kinds)
      EXPECT_EQ(opened->export_file(other.format), other.format == k.format ? file : QString());
    const auto swept = parse_command_line({"--simulate", "--sweep", option, file}, &error);
    EXPECT_EQ(swept.has_value(), k.with_sweep) << error;
    if (!k.with_sweep) {
      EXPECT_EQ(error, export_option(k) + " needs --open FILE");
    }
  }
}

TEST(CommandLine, BadInputIsRefusedWithAMessage) {
  std::string error;
  EXPECT_FALSE(parse_command_line({"--echo-timeout", "soon"}, &error));
  EXPECT_NE(error.find("soon"), std::string::npos);
  EXPECT_FALSE(parse_command_line({"--simulate=latency"}, &error));
  EXPECT_FALSE(parse_command_line({"--simulate=replay="}, &error));
  EXPECT_FALSE(parse_command_line({"--simulate=replay=rec.txt,seed=5"}, &error));
  EXPECT_NE(error.find("cannot be combined"), std::string::npos) << error;
  EXPECT_FALSE(parse_command_line({"--trace"}, &error));
  EXPECT_FALSE(parse_command_line({"--cycles", "0"}, &error));
  EXPECT_FALSE(parse_command_line({"--data-folder"}, &error));
  EXPECT_EQ(error, "--data-folder needs a folder name");
  EXPECT_FALSE(parse_command_line({"--data-folder="}, &error));
  EXPECT_FALSE(parse_command_line({"--open"}, &error));
  EXPECT_FALSE(parse_command_line({"--open", "a.jsonl", "--cycle", "0"}, &error));
  EXPECT_FALSE(parse_command_line({"--export-csv", "out.csv"}, &error));
  EXPECT_NE(error.find("--open"), std::string::npos);
  EXPECT_FALSE(parse_command_line({"--cycle", "1"}, &error));
  EXPECT_FALSE(parse_command_line({"--export-png", "out.png"}, &error));
  EXPECT_FALSE(parse_command_line({"--open", "a.jsonl", "--sweep"}, &error));
  EXPECT_FALSE(parse_command_line({"--frobnicate"}, &error));
  EXPECT_NE(error.find("--frobnicate"), std::string::npos);
  EXPECT_NE(command_line_help().find("--upload-list"), std::string::npos);
  EXPECT_NE(command_line_help().find("--data-folder DIR"), std::string::npos);
  EXPECT_FALSE(parse_command_line({"--sweep", "--export-png"}, &error));
  EXPECT_NE(command_line_help().find("--export-png"), std::string::npos);

  const std::pair<QStringList, const char*> plan_refusals[] = {
      {{"--dry-run"}, "--dry-run needs --sweep"},
      {{"--progress"}, "--progress needs --sweep"},
      {{"--sweep", "--dry-run=soon"}, "not \"soon\""},
      {{"--sweep", "--save-plan", "p.json"}, "cannot be combined with --sweep"},
      {{"--plan"}, "--plan needs a plan file or a scan record"},
      {{"--set", "gain=0"}, "--set gain=0: \"gain\" is 0; it must be a whole number from 1 to 40"},
  };
  for (const auto& [arguments, why] : plan_refusals) {
    EXPECT_FALSE(parse_command_line(arguments, &error)) << arguments.join(' ').toStdString();
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
  const auto plan = parse_command_line({"--simulate", "--sweep", "--plan", "p.json", "--set",
                                        "step=5", "--set=gain=20", "--dry-run=2.5", "--progress"},
                                       &error);
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->plan_file, "p.json");
  EXPECT_EQ(plan->settings, (QStringList{"step=5", "gain=20"}));
  EXPECT_EQ(plan->dry_run_ms, 2.5);
  EXPECT_TRUE(plan->dry_run && plan->progress);
}

TEST(CommandLine, ListenTakesAnAddressAndAPortOrNeither) {
  const struct {
    QStringList arguments;
    const char* address;  // empty: refused
    int port;
  } cases[] = {
      {{"--listen"}, "127.0.0.1", 5025},
      {{"--listen", "--simulate"}, "127.0.0.1", 5025},
      {{"--listen", "6000"}, "127.0.0.1", 6000},
      {{"--listen=0"}, "127.0.0.1", 0},
      {{"--listen", "0.0.0.0:5025"}, "0.0.0.0", 5025},
      {{"--listen", "localhost:7"}, "127.0.0.1", 7},
      {{"--listen", "[::1]:5025", "--no-window"}, "::1", 5025},
      {{"--listen", "::1:5025"}, "", 0},
      {{"--listen", "[127.0.0.1]:5025"}, "", 0},
      {{"--listen", "here:5025"}, "", 0},
      {{"--listen", "65536"}, "", 0},
      {{"--listen="}, "", 0},
      {{"--no-window"}, "", 0},
      {{"--listen", "--sweep"}, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    std::string error;
    const auto cl = parse_command_line(c.arguments, &error);
    if (*c.address == '\0') {
      EXPECT_FALSE(cl);
      EXPECT_FALSE(error.empty());
      continue;
    }
    ASSERT_TRUE(cl && cl->listen) << error;
    EXPECT_EQ(cl->listen->address, QHostAddress(QString::fromLatin1(c.address)));
    EXPECT_EQ(cl->listen->port, c.port);
    EXPECT_FALSE(cl->headless_job());
  }
  // The idle limit and the allow-list, which only a listener beyond loopback takes.
  const struct {
    QStringList arguments;
    int idle_s;  // 0: refused
    QStringList allowed;
  } clients[] = {
      {{"--listen"}, 300, {}},
      {{"--listen", "--listen-idle", "20"}, 20, {}},
      {{"--listen", "0.0.0.0:5025", "--listen-allow", "10.1.2.3", "--listen-allow=192.168.0.0/16"},
       300,
       {"10.1.2.3/32", "192.168.0.0/16"}},
      {{"--listen", "[::]:5025", "--listen-allow", "fd00::/8"}, 300, {"fd00::/8"}},
      {{"--listen", "--listen-idle", "0"}, 0, {}},
      {{"--listen", "--listen-idle", "1.5"}, 0, {}},
      {{"--listen-idle", "20"}, 0, {}},
      {{"--listen", "--listen-allow", "10.0.0.0/8"}, 0, {}},
      {{"--listen", "0.0.0.0:1", "--listen-allow", "10.0.0.0/33"}, 0, {}},
      {{"--listen", "0.0.0.0:1", "--listen-allow", "lab-pc"}, 0, {}},
  };
  for (const auto& c : clients) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    std::string error;
    const auto cl = parse_command_line(c.arguments, &error);
    ASSERT_EQ(cl.has_value(), c.idle_s != 0) << error;
    if (!cl) continue;
    EXPECT_EQ(cl->listen_idle_s, c.idle_s);
    QStringList allowed;
    for (const auto& [address, bits] : cl->listen_allow)
      allowed << address.toString() + "/" + QString::number(bits);
    EXPECT_EQ(allowed, c.allowed);
  }
  const std::string help = command_line_help();
  for (const char* said : {"--listen [ADDR:]PORT", "--no-window", "SWEep:STARt", "DATA:READ?"})
    EXPECT_NE(help.find(said), std::string::npos) << said;
}

// Run as a new user would on a server: no display at all. Nothing may abort, every refusal is
// one line on stderr.
TEST(CommandLine, ProgramAnswersWithoutADisplay) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  // A data folder asked for under a plain file cannot be made, even by root.
  QTemporaryDir dir;
  QFile blocker(dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString unusable = dir.filePath("blocker/data");
  const QString own_data = dir.filePath("data");
  const QString alarm_data = dir.filePath("alarm data");
  const QString not_a_trace = dir.filePath("bad.txt");
  QFile bad(not_a_trace);
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("# Brevane 1.00, USB\nout 00 58 64 00 00 00 00 00 00 00 00\nin 00 00 00 58\n");
  bad.close();
  const QString picture = QStringLiteral(BREVANE_SOURCE_DIR "/docs/main-window.png");
  const std::string refused = "brevane: the data folder " + unusable.toStdString() +
                              " cannot be used (its parent " +
                              dir.filePath("blocker").toStdString() +
                              " is not a folder); the data log and the image log cannot be "
                              "written.\n";
  const struct {
    QStringList arguments;
    int status;
    const char* out;  // stdout starts with it
    QByteArray err;   // stderr contains it
  } cases[] = {
      {{"--help"}, 0, "Usage: brevane", ""},
      {{"--version"}, 0, "Brevane version 1.00\n", ""},
      {{"--list-devices"}, 0, "no heads attached\n", ""},
      // Its own data folder: another test's sweep may hold the one beside the program.
      {{"--device", "nosuch", "--sweep", "--echo-timeout", "300", "--data-folder", own_data},
       1,
       "",
       "brevane: the head nosuch (a serial number or device path) is not attached"},
      {{"--bogus"}, 2, "", "brevane: unknown option \"--bogus\" (see brevane --help)\n"},
      {{"--cycles", "many"}, 2, "", "\"many\" (see brevane --help)"},
      {{}, 2, "", "there is no display"},
      {{"--simulate", "--log-data"}, 2, "", "--sweep and --upload-list run without one"},
      {{"--simulate", "--sweep", "--data-folder", unusable}, 2, "", refused.c_str()},
      {{"--simulate", "--upload-list", "list.txt", "--data-folder", unusable},
       2,
       "",
       refused.c_str()},
      {{"--open", "no such record.jsonl", "--export-csv", "out.csv"}, 1, "", "cannot be read"},
      {{"--simulate=replay=" + not_a_trace},
       2,
       "",
       "bad.txt cannot be replayed: line 3: an in line holds 9 bytes, this one 4\n"},
      // Plans: a bad setting or a file that is no plan is refused before anything starts.
      {{"--simulate", "--sweep", "--set", "step=4"},
       2,
       "",
       "brevane: --set step=4: \"step\" is 4; it must be one of 1, 2, 3, 5, 10, 20"},
      {{"--set=xmin=99"}, 2, "", "\"xmin\" is 99; it must be a whole number from 100 to 140"},
      {{"--set", "nosuch=1"}, 2, "", "\"nosuch\" is not a setting; the settings are xmin, "},
      {{"--simulate", "--sweep", "--plan", picture},
       2,
       "",
       (picture + " is neither a plan nor a scan record: it is not JSON text\n").toUtf8()},
      {{"--set", "step=5", "--save-plan", dir.filePath("p.json")}, 0, "Plan saved: ", ""},
      {{"--simulate", "--sweep", "--dry-run"}, 0, "Dry run of --sweep: 1 cycle(s)", ""},
      {{"--simulate", "--sweep", "--palette", "grey"}, 2, "", "it needs --export-png FILE"},
      {{"--palette", "blue"}, 2, "", "--palette takes colour or grey, not \"blue\""},
      {{"--simulate", "--sweep", "--alarm", "temp>90"},
       2,
       "",
       "brevane: --alarm \"temp>90\": an alarm is temperature_f>VALUE (°F) or distance_in<VALUE "
       "(inches) (see brevane --help)\n"},
      {{"--alarm=distance_in<12"}, 2, "", "--alarm needs --sweep"},
      // The scene's warm object (about 140 °F) sets it off; the record is checked below.
      {{"--simulate", "--sweep", "--alarm", "temperature_f>90", "--data-folder", alarm_data},
       4,
       "Swept ",
       "brevane: the sweep was stopped by an alarm: temperature "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(BREVANE_PROGRAM), c.arguments);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "it must not abort";
    EXPECT_EQ(program.exitCode(), c.status);
    const QByteArray out = program.readAllStandardOutput();
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(out.startsWith(c.out)) << out.toStdString();
    EXPECT_TRUE(err.contains(c.err)) << err.toStdString();
    if (c.status != 0) {
      EXPECT_EQ(err.count('\n'), 1) << "one line: " << err.toStdString();
    }
  }

  // The record the alarm ended, read by Python: its last reading is the first one above 90 °F,
  // and its end line says so.
  if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) GTEST_SKIP() << "no python3";
  const QStringList records = QDir(alarm_data + "/scans").entryList({"*.jsonl"});
  ASSERT_EQ(records.size(), 1);
  QProcess check;
  check.start(QStringLiteral("/usr/bin/python3"),
              {"-c",
               "import json, sys\n"
               "lines = [json.loads(l) for l in open(sys.argv[1], encoding='utf-8')]\n"
               "readings = [l for l in lines if l['type'] == 'reading']\n"
               "hot = next(r for r in readings if (r['temperature_f'] or 0) > 90)\n"
               "end = lines[-1]\n"
               "assert readings[-1] == hot, (readings[-1], hot)\n"
               "assert end['how'] == 'stopped' and end['reason'] == 'alarm', end\n"
               "want = 'temperature %.1f °F above 90 °F at X %d, Z %d' % (hot['temperature_f'],\n"
               "    hot['x'], hot['z'])\n"
               "assert end['message'] == want, (end['message'], want)\n"
               "print('ok')\n",
               alarm_data + "/scans/" + records.front()});
  ASSERT_TRUE(check.waitForFinished(20000));
  EXPECT_EQ(check.readAllStandardOutput(), "ok\n") << check.readAllStandardError().toStdString();
}

// The simulated scene's warm, near object is centred at X 170, Z 170 on a cool, far wall: the
// exported maps must paint it there, hottest and nearest, and the wall coolest and farthest.
TEST(CommandLine, ExportsTheMapsOfTheLastCycleAsPng) {
  QTemporaryDir folder;
  const QString file = folder.filePath(QStringLiteral("maps.png"));
  QProcess program;
  for (const palette_kind kind : {palette_kind::colour, palette_kind::grey}) {
    const bool grey = kind == palette_kind::grey;
    QStringList arguments{"--simulate", "--sweep",       "--export-png",
                          file,         "--data-folder", folder.filePath("data")};
    if (grey)
      arguments << "--palette"
                << "grey";
    program.start(QStringLiteral(BREVANE_PROGRAM), arguments);
    ASSERT_TRUE(program.waitForFinished(60000));
    ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QImage picture(file);
    // Where the program's start limits (X 100..255, Z 140..200, step 10) put a position.
    maps_data limits;
    limits.set_raster({100, 255, 140, 200, 10, 10});
    const picture_plan plan = saved_picture_plan(limits, 1);
    ASSERT_TRUE(plan.size.expandedTo(picture.size()) == plan.size && picture.width() > 600)
        << picture.width() << " x " << picture.height();
    const auto& colours = palette(kind);
    const struct {
      map_kind map;
      int x, z;
      QRgb colour;
    } cells[] = {
        {map_kind::thermal, 210, 170, colours[255]},
        {map_kind::thermal, 110, 145, colours[0]},
        {map_kind::sonic, 210, 170, colours[0]},
        {map_kind::sonic, 240, 195, colours[255]},
    };
    for (const auto& c : cells) {
      const QRgb seen = picture.pixel(picture_point(limits, 1, plan.size, c.map, c.x, c.z,
                                                    map_shape::equal_scales, plan.arrangement));
      // The head's noise keeps a reading a few palette entries from the end of the range.
      const int apart = std::abs(qRed(seen) - qRed(c.colour)) +
                        std::abs(qGreen(seen) - qGreen(c.colour)) +
                        std::abs(qBlue(seen) - qBlue(c.colour));
      EXPECT_LT(apart, 24) << "X " << c.x << " Z " << c.z << ": " << std::hex << seen;
    }
  }

  program.start(QStringLiteral(BREVANE_PROGRAM),
                {"--simulate", "--sweep", "--export-png", folder.filePath("none/maps.png"),
                 "--data-folder", folder.filePath("data")});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitCode(), 1);
  EXPECT_TRUE(program.readAllStandardError().contains("cannot write the picture"));
}

}  // namespace
}  // namespace brevane
