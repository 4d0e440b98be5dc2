// Fuzz entry for the INI reader: any bytes parse, untouched lines come back byte for byte,
// and a value set is the value read.
#include "startup/ini_document.h"
#include "startup/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    velmora::IniDocument doc = velmora::IniDocument::parse(bytes);
    if (doc.bytes() != bytes) {
        std::abort();
    }
    for (std::string_view key : {velmora::SettingsKey::ImageOrder, velmora::SettingsKey::ImageFolder,
                                 velmora::SettingsKey::BgmFile, std::string_view("x")}) {
        const std::string value = velmora::ReadIni(doc, velmora::SettingsSection, key);
        if (value.size() > 255) {
            std::abort();
        }
    }
    // Use the input's first line, without its ending, as a value when it may be stored:
    // whatever the file around it, it reads back as it would from a file of that one line.
    const std::string value(bytes.substr(0, std::min<std::size_t>(bytes.find_first_of("\r\n"), 64)));
    if (velmora::IniDocument::storableValue(value)) {
        const std::string key(velmora::SettingsKey::BgmFile);
        doc.setValue(velmora::SettingsSection, key, value);
        const velmora::IniDocument again = velmora::IniDocument::parse(doc.bytes());
        const velmora::IniDocument alone =
            velmora::IniDocument::parse("[" + std::string(velmora::SettingsSection) + "]\n" + key + "=" + value + "\n");
        if (again.value(velmora::SettingsSection, key) != alone.value(velmora::SettingsSection, key)) {
            std::abort();
        }
    }
    return 0;
}
