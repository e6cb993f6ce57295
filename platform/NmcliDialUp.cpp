#include "platform/NmcliDialUp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <unistd.h>

namespace torvex {

namespace {

// The longest error text kept (the text buffer of the dial-up window).
constexpr std::size_t kMaxErrorText = 998;

// The profile kinds that make a point-to-point link, as nmcli names them.
constexpr std::string_view kDialUpKinds[] = {"gsm",       "cdma", "pppoe",    "adsl",
                                             "bluetooth", "vpn",  "wireguard"};

// The secrets a profile of those kinds may ask for, answered from the dial parameters.
constexpr std::string_view kPasswordSecrets[] = {"gsm.password", "cdma.password", "pppoe.password",
                                                 "adsl.password", "vpn.secrets.password"};

bool IsDialUpKind(std::string_view type) {
    return std::find(std::begin(kDialUpKinds), std::end(kDialUpKinds), type) !=
           std::end(kDialUpKinds);
}

// The fields of one line of nmcli's terse output: ":" separates them, "\:" and "\\" stand for
// the characters themselves.
std::vector<std::string> TerseFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            fields.back().push_back(line[++i]);
        } else if (c == ':') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The dial state a device state stands for (device states as nmcli writes them in the C
// locale); -1 for those that say nothing about the attempt.
int DialStateOfDevice(std::string_view state) {
    if (state == "connecting (prepare)") {
        return DialState::ConnectDevice;
    }
    if (state == "connecting (configuring)") {
        return DialState::DeviceConnected;
    }
    if (state == "connecting (need authentication)") {
        return DialState::Authenticate;
    }
    if (state == "connecting (getting IP configuration)") {
        return DialState::Authenticated;
    }
    if (state == "connecting (checking IP connectivity)" ||
        state == "connecting (starting secondary connections)") {
        return DialState::LogonNetwork;
    }
    return -1;
}

std::string GenericErrorText(int code) {
    switch (code) {
    case CNmcliDialUp::kErrorNotRun:
        return "The dial-up networking program failed.";
    case 2:
        return "The dial-up networking program did not accept the request.";
    case CNmcliDialUp::kErrorNoAnswer:
        return "The connection did not come up in time.";
    case 4:
        return "The connection could not be activated.";
    case 5:
        return "The connection could not be deactivated.";
    case 8:
        return "NetworkManager is not running.";
    case CNmcliDialUp::kErrorNoEntry:
        return "The dial-up connection does not exist.";
    default:
        return "Dial-up networking error " + std::to_string(code) + ".";
    }
}

// A private file with the secrets for nmcli's "passwd-file"; removed when it goes.
class SecretsFile {
public:
    explicit SecretsFile(const std::string &password) {
        const char *runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string pattern =
            std::string(runtime && *runtime ? runtime : "/tmp") + "/torvex-dial-XXXXXX";
        const int fd = ::mkstemp(pattern.data()); // mode 0600
        if (fd < 0) {
            return;
        }
        std::string text;
        for (std::string_view secret : kPasswordSecrets) {
            text.append(secret).append(":").append(password).append("\n");
        }
        const bool written =
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        if (written) {
            m_path = pattern;
        } else {
            ::unlink(pattern.c_str());
        }
    }
    ~SecretsFile() {
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
        }
    }
    SecretsFile(const SecretsFile &) = delete;
    SecretsFile &operator=(const SecretsFile &) = delete;
    const std::string &Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

CNmcliDialUp::CNmcliDialUp(Options options)
    : m_options(std::move(options)), m_nmcli(FindProgram("nmcli", m_options.searchPath)) {}

CNmcliDialUp::~CNmcliDialUp() {
    m_closing = true;
    m_hangUpsDone.notify_all();
    std::vector<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        workers.swap(m_workers);
    }
    for (Worker &worker : workers) {
        worker.thread.join();
    }
}

void CNmcliDialUp::KeepError(int code, const std::string &text) {
    const std::vector<std::string_view> lines = Lines(text);
    std::string line(lines.empty() ? std::string_view() : lines.front());
    line.resize(std::min(line.size(), kMaxErrorText));
    std::lock_guard<std::mutex> lock(m_lock);
    if (line.empty()) {
        m_errors.erase(code);
    } else {
        m_errors[code] = line;
    }
}

int CNmcliDialUp::Nmcli(const std::vector<std::string> &arguments, std::string &out,
                        int timeoutMs) {
    if (m_nmcli.empty()) {
        return kErrorNotRun;
    }
    // The C locale keeps the device states nmcli writes in the words read here.
    const CProgramResult result =
        RunProgram(m_nmcli, arguments, {"LC_ALL=C", "LANGUAGE="}, timeoutMs, &m_closing);
    out = result.out;
    int code = result.exitStatus;
    if (result.timedOut) {
        code = kErrorNoAnswer;
    } else if (!result.started || code < 0) {
        code = kErrorNotRun;
    }
    if (code != 0) {
        KeepError(code, result.err);
    }
    return code;
}

int CNmcliDialUp::Profiles(bool activeOnly, std::vector<Profile> &profiles) {
    std::vector<std::string> arguments = {"-t", "-f", "NAME,UUID,TYPE", "connection", "show"};
    if (activeOnly) {
        arguments.emplace_back("--active");
    }
    std::string out;
    const int code = Nmcli(arguments, out, m_options.commandTimeoutMs);
    if (code != 0) {
        return code;
    }
    for (std::string_view line : Lines(out)) {
        std::vector<std::string> fields = TerseFields(line);
        if (fields.size() == 3 && !fields[0].empty() && !fields[1].empty() &&
            IsDialUpKind(fields[2])) {
            profiles.push_back({std::move(fields[0]), std::move(fields[1]), std::move(fields[2])});
        }
    }
    return 0;
}

int CNmcliDialUp::EnumEntries(std::vector<std::string> &entries) {
    std::vector<Profile> profiles;
    const int code = Profiles(false, profiles);
    for (Profile &profile : profiles) {
        if (profile.name.size() <= kMaxDialEntryName) {
            entries.push_back(std::move(profile.name));
        }
    }
    return code;
}

int CNmcliDialUp::EnumConnections(std::vector<DialConnection> &connections) {
    std::vector<Profile> profiles;
    const int code = Profiles(true, profiles);
    for (Profile &profile : profiles) {
        connections.push_back(std::move(profile.uuid));
    }
    return code;
}

std::string CNmcliDialUp::ErrorText(int error) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_errors.find(error);
        if (found != m_errors.end()) {
            return found->second;
        }
    }
    return GenericErrorText(error);
}

void CNmcliDialUp::Launch(std::function<void()> body) {
    std::lock_guard<std::mutex> lock(m_lock);
    // Threads that have ended are joined here, so a long session keeps none.
    std::erase_if(m_workers, [](Worker &worker) {
        if (!worker.done->load()) {
            return false;
        }
        worker.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_workers.push_back({std::thread([body = std::move(body), done] {
                             try {
                                 body();
                             } catch (...) {
                                 // Nothing may escape a thread.
                             }
                             done->store(true);
                         }),
                         done});
}

void CNmcliDialUp::Forget(IDialEvents &events) {
    std::lock_guard<std::mutex> lock(m_eventsLock);
    m_listeners.erase(&events);
}

void CNmcliDialUp::Report(IDialEvents *events, int attempt, int state, int error) {
    std::lock_guard<std::mutex> lock(m_eventsLock);
    if (m_listeners.count(events) != 0) {
        events->OnDialEvent(attempt, state, error);
    }
}

int CNmcliDialUp::Dial(const CDialParams &params, int attempt, IDialEvents &events,
                       DialConnection &connection) {
    connection.clear();
    std::vector<Profile> profiles;
    int code = Profiles(false, profiles);
    if (code != 0) {
        return code;
    }
    const auto profile = std::find_if(profiles.begin(), profiles.end(),
                                      [&](const Profile &p) { return p.name == params.EntryName; });
    if (profile == profiles.end()) {
        KeepError(kErrorNoEntry,
                  "The dial-up connection \"" + params.EntryName + "\" does not exist.");
        return kErrorNoEntry;
    }
    connection = profile->uuid;
    {
        std::lock_guard<std::mutex> lock(m_eventsLock);
        m_listeners.insert(&events);
    }
    Launch([this, params, uuid = profile->uuid, attempt, listener = &events] {
        RunDial(params, uuid, attempt, listener);
    });
    return 0;
}

int CNmcliDialUp::DeviceStateOf(const std::string &uuid) {
    std::string out;
    if (Nmcli({"-t", "-f", "DEVICE,STATE,CON-UUID", "device", "status"}, out,
              m_options.commandTimeoutMs) != 0) {
        return -1;
    }
    for (std::string_view line : Lines(out)) {
        const std::vector<std::string> fields = TerseFields(line);
        if (fields.size() == 3 && fields[2] == uuid) {
            return DialStateOfDevice(fields[1]);
        }
    }
    return -1;
}

void CNmcliDialUp::RunDial(CDialParams params, std::string uuid, int attempt, IDialEvents *events) {
    {
        // A hang-up just given must be over before the line is dialled again.
        std::unique_lock<std::mutex> lock(m_lock);
        m_hangUpsDone.wait(lock, [this] { return m_hangUps == 0 || m_closing.load(); });
    }
    Report(events, attempt, DialState::OpenPort, 0);
    std::unique_ptr<SecretsFile> secrets;
    std::vector<std::string> arguments = {
        "--wait", std::to_string(m_options.attemptSeconds), "connection", "up", "uuid", uuid};
    if (!params.Password.empty()) {
        secrets = std::make_unique<SecretsFile>(params.Password);
        if (!secrets->Path().empty()) {
            arguments.insert(arguments.end(), {"passwd-file", secrets->Path()});
        }
    }

    std::mutex upLock;
    std::condition_variable upChanged;
    bool upDone = false;
    int upCode = kErrorNotRun;
    std::thread up([&] {
        std::string out;
        const int code = Nmcli(arguments, out, (m_options.attemptSeconds + 15) * 1000);
        std::lock_guard<std::mutex> lock(upLock);
        upCode = code;
        upDone = true;
        upChanged.notify_all();
    });
    int reported = DialState::OpenPort;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(upLock);
            if (upChanged.wait_for(lock, std::chrono::milliseconds(m_options.pollMs),
                                   [&] { return upDone; })) {
                break;
            }
        }
        const int state = DeviceStateOf(uuid);
        if (state >= 0 && state != reported) {
            reported = state;
            Report(events, attempt, state, 0);
        }
    }
    up.join();
    secrets.reset(); // the password leaves the disk before anyone hears of the end
    if (upCode == 0) {
        Report(events, attempt, DialState::Connected, 0);
    } else {
        Report(events, attempt, reported, upCode);
    }
}

void CNmcliDialUp::HangUp(const DialConnection &connection) {
    if (connection.empty() || m_nmcli.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_hangUps;
    }
    Launch([this, connection] {
        std::string out;
        Nmcli({"connection", "down", "uuid", connection}, out, m_options.commandTimeoutMs);
        std::lock_guard<std::mutex> lock(m_lock);
        --m_hangUps;
        m_hangUpsDone.notify_all();
    });
}

} // namespace torvex
