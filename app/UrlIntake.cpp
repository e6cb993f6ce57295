#include "app/UrlIntake.h"

#include "app/CInstanceChannel.h"
#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "platform/FileSystem.h"

namespace torvex {

namespace {

constexpr std::string_view kUrlKey = "URL";
constexpr std::string_view kInfoKey = "Info";

// Cuts to `capacity` bytes without leaving half a UTF-8 character at the end.
std::string CutWhole(std::string_view text, std::size_t capacity) {
    std::string field;
    if (AssignCut(field, text, capacity)) {
        return field;
    }
    std::size_t end = field.size();
    while (end > 0 && (static_cast<unsigned char>(field[end - 1]) & 0xC0) == 0x80) {
        --end;
    }
    if (end > 0 && static_cast<unsigned char>(field[end - 1]) >= 0xC0) {
        --end; // the lead byte of the character that was cut
    } else {
        end = field.size(); // no multi-byte character at the end
    }
    field.resize(end);
    return field;
}

} // namespace

IntakeStep DeliveryStep(int intakeState, bool newAddressOpen) {
    if (intakeState == kIntakeNewProject) {
        return IntakeStep::NewProject;
    }
    return newAddressOpen ? IntakeStep::NewAddress : IntakeStep::KeepPending;
}

std::optional<CPendingAddress> TakeHandOverFile(const std::string& path) {
    CSettingsReader reader;
    const bool opened = reader.Open(path);
    if (FileExists(path)) {
        RemoveFileIfExists(path);
    }
    if (!opened) {
        return std::nullopt;
    }
    // One more than the capacity tells an over-long address from one that just fits.
    std::string url;
    if (!reader.ReadFirstText(kUrlKey, url, kMaxStartUrl + 1)) {
        return std::nullopt;
    }
    const std::optional<CPendingAddress> parsed = AddressFromText(url);
    if (!parsed || parsed->address != url) {
        return std::nullopt;
    }
    CPendingAddress taken;
    taken.address = url;
    std::string info;
    reader.ReadFirstText(kInfoKey, info, kMaxHandOverInfo);
    if (HasControlCharacter(info)) {
        info.clear();
    }
    taken.name = CutWhole(info.empty() ? std::string_view(parsed->name) : std::string_view(info),
                          kMaxHandOverName);
    return taken;
}

std::optional<CPendingAddress>
CClipboardWatch::Changed(int intakeState, const std::function<std::string()>& readText) {
    std::optional<CPendingAddress> taken;
    if (m_joined && !m_ignore && !m_first && intakeState != kIntakeClosed && readText) {
        taken = AddressFromText(readText());
    }
    m_first = false;
    m_ignore = false;
    return taken;
}

} // namespace torvex
