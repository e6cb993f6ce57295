// A settings-bearing file (project.conf, the defaults file, the folder tree, export files) as
// the reader takes it, and a project's settings loaded and clamped from it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "base/CSettingsReader.h"
#include "project/CProjectSettings.h"

using namespace torvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        CSettingsReader reader;
        reader.OpenText(text);
        int sections = 0;
        while (const auto name = reader.NextSection()) {
            const std::size_t before = reader.Position();
            if (!reader.FindSection(*name) || ++sections > 10000) {
                break;
            }
            FUZZ_CHECK(reader.Position() > before);
            std::string value;
            if (reader.ReadText("Name", value, 128)) {
                FUZZ_CHECK(value.size() <= 128);
            }
            int number = 0;
            std::int64_t wide = 0;
            bool flag = false;
            reader.ReadInt("Level", number);
            reader.ReadLong("Time", wide);
            reader.ReadFlag("Cookie", flag);
        }
    }
    CSettingsReader reader;
    reader.OpenText(text);
    CProjectSettings settings;
    settings.LoadSettingsBody(reader, false);
    settings.Validate();
    FUZZ_CHECK(settings.TimeOut >= 10 && settings.TimeOut <= 1200);
    FUZZ_CHECK(settings.DownthreadNum >= 1 && settings.DownthreadNum <= 50);
    return 0;
}
