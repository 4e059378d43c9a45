// Reading battery and current histories back: the lines the history writes are accepted in both
// encodings, every other line is refused and counted, and a missing file says so.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/DateTime.h"
#include "core/Utf16.h"
#include "location/CHistoryReader.h"

namespace {

using Kind = CHistoryReader::Kind;

int64_t Seconds(int y, int mo, int d, int h, int mi, int s) {
    SYSTEMTIME t;
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = mi;
    t.wSecond = s;
    int64_t ticks = 0;
    EXPECT_TRUE(SystemTimeToTicks(t, ticks));
    return ticks / DT_SECOND;
}

TEST(HistoryReaderTest, LinesAreAcceptedOrRefused) {
    struct Row {
        const char* line;
        Kind kind;
        bool ok;
        int value;
    };
    const Row rows[] = {
        {"2024-01-31 15:45:00 085%", Kind::Battery, true, 85},
        {"2024-01-31 15:45:00 007%", Kind::Battery, true, 7},
        {"2024-01-31 15:45:00 100%", Kind::Battery, true, 100},
        {"2024-01-31 15:45:00 101%", Kind::Battery, false, 0},
        {"2024-01-31 15:45:00 85", Kind::Battery, false, 0},
        {"2024-01-31 15:45:00 -05%", Kind::Battery, false, 0},
        {"2024-01-31 15:45:00 -005mA", Kind::Current, true, -5},
        {"2024-01-31 15:45:00 +005mA", Kind::Current, true, 5},
        {"2024-01-31 15:45:00 -1200mA", Kind::Current, true, -1200},
        {"2024-01-31 15:45:00 -005mA", Kind::Battery, false, 0},
        {"2024-01-31 15:45:00 085%", Kind::Current, false, 0},
        {"2024-01-31 15:45:00 +mA", Kind::Current, false, 0},
        {"2024-01-31 15:45:00 -1234567mA", Kind::Current, false, 0},
        {"2024-02-30 15:45:00 085%", Kind::Battery, false, 0},
        {"2024-01-31 24:00:00 085%", Kind::Battery, false, 0},
        {"2024-01-31T15:45:00 085%", Kind::Battery, false, 0},
        {"2024-1-31 15:45:00 085%", Kind::Battery, false, 0},
        {"garbage", Kind::Battery, false, 0},
        {"", Kind::Current, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        CHistoryReader::Sample sample;
        ASSERT_EQ(CHistoryReader::ParseLine(row.line, row.kind, sample), row.ok);
        if (row.ok) {
            EXPECT_EQ(sample.value, row.value);
            EXPECT_EQ(sample.seconds, Seconds(2024, 1, 31, 15, 45, 0));
            // Written again, the line is the same.
            EXPECT_EQ(CHistoryReader::FormatLine(sample, row.kind), row.line);
        }
    }
}

TEST(HistoryReaderTest, FilesInEitherEncodingAndBadLinesCounted) {
    const std::string text =
        "2024-01-31 10:00:00 090%\r\n"
        "not a line\r\n"
        "\r\n"
        "2024-01-31 11:00:00 080%\r\n"
        "2024-01-31 12:00";  // cut short by a write in progress
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("history_reader_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Row {
        const char* name;
        std::string bytes;
    };
    const Row rows[] = {
        {"utf16.txt", Utf8ToUtf16Le(text)},
        {"utf16bom.txt", "\xFF\xFE" + Utf8ToUtf16Le(text)},
        {"utf8.txt", text},
        {"utf8bom.txt", "\xEF\xBB\xBF" + text},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(dir / row.name, std::ios::binary) << row.bytes;
        const CHistoryReader::Result read = CHistoryReader::Read(dir / row.name, Kind::Battery);
        EXPECT_TRUE(read.opened);
        ASSERT_EQ(read.samples.size(), 2u);
        EXPECT_EQ(read.samples[0], (CHistoryReader::Sample{Seconds(2024, 1, 31, 10, 0, 0), 90}));
        EXPECT_EQ(read.samples[1], (CHistoryReader::Sample{Seconds(2024, 1, 31, 11, 0, 0), 80}));
        EXPECT_EQ(read.refused, 2);
    }
    const CHistoryReader::Result missing = CHistoryReader::Read(dir / "none.txt", Kind::Battery);
    EXPECT_FALSE(missing.opened);
    EXPECT_TRUE(missing.samples.empty());
    // Binary noise is refused line by line, never read as values.
    std::ofstream(dir / "noise.bin", std::ios::binary) << std::string("\x01\x02\xFF\x00\x7F\n\n\x80", 8);
    const CHistoryReader::Result noise = CHistoryReader::Read(dir / "noise.bin", Kind::Current);
    EXPECT_TRUE(noise.opened);
    EXPECT_TRUE(noise.samples.empty());
    std::filesystem::remove_all(dir);
}

}  // namespace
