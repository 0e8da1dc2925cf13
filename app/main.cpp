// SPDX-License-Identifier: Apache-2.0
// tavelin-printer-app: libpappl's main loop, the system it serves and where
// that system keeps its state.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <pappl/pappl.h>

#include "app/AddPrinterPage.h"
#include "app/DefaultsPage.h"
#include "app/Devices.h"
#include "app/DocumentJob.h"
#include "app/Drivers.h"
#include "app/PapplCompat.h"
#include "app/SettingsPage.h"
#include "app/WebAccess.h"
#include "output/Fd.h"
#include "settings/ParseNumber.h"
#include "settings/Version.h"

namespace tvl {

namespace {

constexpr char kAppName[] = "tavelin-printer-app";
constexpr char kVersion[] = TVL_VERSION;
constexpr int kDefaultPort = 8631;
// The state folder of root's sub-commands and of the systemd service
// (StateDirectory=tavelin-printer-app).
constexpr char kServiceStateDir[] = "/var/lib/tavelin-printer-app";

// What the system callback needs; owned by main() for the whole run.
struct AppContext {
    bool server = false;       // the "server" sub-command
    std::string stateDir;      // state file, spool, log
    std::string stateFile;
    std::string spoolDir;
    std::string logFile;
    std::string speedFile;     // print-speed-default of every printer
    pappl_pr_driver_t* drivers = nullptr;
    int numDrivers = 0;
    DriverList driverList;     // for the Add Printer page
    bool keepsState = false;   // a server with a state file
    unsigned long savedJobs = 0;  // job signature at the last save
};

bool makeDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
        return true;
    }
    fprintf(stderr, "%s: cannot create %s: %s\n", kAppName, path.c_str(), strerror(errno));
    return false;
}

// TVL_APP_STATE_DIR, else /var/lib/tavelin-printer-app for root and
// $HOME/.local/state/tavelin-printer-app for anyone else.
bool chooseStateDir(AppContext* context)
{
    const char* dir = getenv("TVL_APP_STATE_DIR");
    if (dir != nullptr && *dir != '\0') {
        context->stateDir = dir;
        // libpappl puts the sub-commands' domain socket in $SNAP_COMMON.
        setenv("SNAP_COMMON", dir, 1);
        if (!makeDirectory(context->stateDir)) {
            return false;
        }
    } else if (getuid() == 0) {
        // The service's folder: root's sub-commands find its socket there.
        context->stateDir = kServiceStateDir;
        setenv("SNAP_COMMON", kServiceStateDir, 1);
        if (!makeDirectory(context->stateDir)) {
            return false;
        }
    } else {
        const char* home = getenv("HOME");
        if (home == nullptr || *home == '\0') {
            fprintf(stderr, "%s: set TVL_APP_STATE_DIR or HOME\n", kAppName);
            return false;
        }
        const std::string local = std::string(home) + "/.local";
        context->stateDir = local + "/state/tavelin-printer-app";
        if (!makeDirectory(local) || !makeDirectory(local + "/state") || !makeDirectory(context->stateDir)) {
            return false;
        }
    }
    // libpappl puts a server's temporary files, and the domain socket of a
    // server not run as root, in TMPDIR: the state folder, for the server
    // and for the sub-commands that look for its socket.
    setenv("TMPDIR", context->stateDir.c_str(), 1);
    context->stateFile = context->stateDir + "/tavelin-printer-app.state";
    context->spoolDir = context->stateDir + "/spool";
    context->logFile = context->stateDir + "/tavelin-printer-app.log";
    context->speedFile = context->stateDir + "/print-speed-defaults";
    return makeDirectory(context->spoolDir);
}

pappl_loglevel_t logLevelOf(const char* name)
{
    struct Level {
        const char* name;
        pappl_loglevel_t level;
    };
    constexpr Level levels[] = {{"debug", PAPPL_LOGLEVEL_DEBUG}, {"info", PAPPL_LOGLEVEL_INFO},
                                {"warn", PAPPL_LOGLEVEL_WARN},   {"error", PAPPL_LOGLEVEL_ERROR},
                                {"fatal", PAPPL_LOGLEVEL_FATAL}};
    for (const Level& l : levels) {
        if (name != nullptr && strcmp(name, l.name) == 0) {
            return l.level;
        }
    }
    return PAPPL_LOGLEVEL_INFO;
}

void publishOne(pappl_printer_t* printer, void*)
{
    publishDefaults(printer);
}

void setUpLoaded(pappl_printer_t* printer, void*)
{
    publishDefaults(printer);
    addSettingsPage(printer);
}

// Keeps the published defaults current, then saves the state.
bool saveState(pappl_system_t* system, void* data)
{
    auto* context = static_cast<AppContext*>(data);
    forEachPrinter(system, publishOne, nullptr);
    const bool speeds = saveSpeedDefaults(system, context->speedFile);
    return saveStateFile(system, context->stateFile) && speeds;
}

// Runs every second: a shutdown request is seen within a second even when
// nothing else happens, and the job history is saved when it changed.
bool tick(pappl_system_t* system, void* data)
{
    auto* context = static_cast<AppContext*>(data);
    if (!context->keepsState) {
        return true;
    }
    const unsigned long signature = jobHistorySignature(system);
    if (signature != context->savedJobs) {
        context->savedJobs = signature;
        saveState(system, context);
    }
    return true;
}

// Runs before libpappl adds the printer's own pages: the guarded ones come
// first and stay.
void printerCreated(pappl_printer_t* printer, void*)
{
    guardPrinterPages(printer);
    addDefaultsPage(printer);
    addSettingsPage(printer);
}

bool isLoopbackName(const char* host)
{
    return host == nullptr || strcmp(host, "localhost") == 0 || strncmp(host, "127.", 4) == 0 ||
           strcmp(host, "::1") == 0 || strcmp(host, "[::1]") == 0;
}

// The server's options, from the command line and the defaults.
struct ServerOptions {
    int port = kDefaultPort;
    const char* host = nullptr;         // listen-hostname, null for localhost
    const char* logLevel = nullptr;
    const char* logFile = nullptr;      // log-file, else the state folder's log
    const char* authService = nullptr;  // null for none
    bool tls = false;
};

// With an authentication service, clients on other machines send their
// passwords: libpappl then wants TLS. Its keys go to $HOME/.cups/ssl, or as
// root to /etc/cups/ssl, the system cupsd's folder: the application keeps
// them in its state folder and does not run TLS as root.
bool readOptions(const AppContext& context, int numOptions, cups_option_t* options, ServerOptions* server)
{
    const char* portText = cupsGetOption("server-port", numOptions, options);
    server->host = cupsGetOption("listen-hostname", numOptions, options);
    server->logLevel = cupsGetOption("log-level", numOptions, options);
    server->logFile = cupsGetOption("log-file", numOptions, options);
    server->authService = cupsGetOption("auth-service", numOptions, options);
    server->port = kDefaultPort;
    if (portText != nullptr && !parseInt32(portText, 0, 65535, &server->port)) {
        fprintf(stderr, "%s: server-port %s is not a port number\n", kAppName, portText);
        return false;
    }
    if (server->logFile == nullptr) {
        server->logFile = context.logFile.c_str();
    }
    if (server->authService != nullptr && *server->authService == '\0') {
        server->authService = nullptr;
    }
    server->tls = context.server && server->authService != nullptr && !isLoopbackName(server->host);
    if (server->tls && geteuid() == 0) {
        fprintf(stderr,
                "%s: auth-service on the network needs TLS, and as root libpappl keeps TLS keys in "
                "/etc/cups/ssl: run the server as its own user (the service does)\n",
                kAppName);
        return false;
    }
    return true;
}

// The system with its drivers, filters and timer, not yet listening.
pappl_system_t* createSystem(AppContext* context, const ServerOptions& server)
{
    const int tlsOption = server.tls ? 0 : PAPPL_SOPTIONS_NO_TLS;
    pappl_system_t* system = papplSystemCreate(
        static_cast<pappl_soptions_t>(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE |
                                      PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY | tlsOption),
        "Tavelin Printer Application", server.port, nullptr, context->spoolDir.c_str(), server.logFile,
        logLevelOf(server.logLevel), server.authService, false);
    if (system == nullptr) {
        return nullptr;
    }
    addDocumentFilters(system);  // before any printer is made or loaded
    papplSystemSetPrinterDrivers(system, context->numDrivers, context->drivers, autoAddDriver, printerCreated,
                                 driverCallback, context->drivers);
    papplSystemSetFooterHTML(system, "Tavelin label printer application");
    papplSystemAddTimerCallback(system, 0, 1, tick, context);
    return system;
}

// The network listeners, and the domain socket root's sub-commands use.
bool startListening(pappl_system_t* system, const AppContext& context, const ServerOptions& server)
{
    const char* host = server.host ? server.host : "localhost";
    // Never papplSystemSetHostName: as root it rewrites /etc/hostname.
    if (!addListeners(system, host)) {
        fprintf(stderr, "%s: cannot listen on %s:%d\n", kAppName, host, server.port);
        return false;
    }
    // libpappl puts a server's domain socket in $SNAP_COMMON only for
    // root; the service runs as its own user, whose socket root's
    // sub-commands would not find. This one is where they look.
    const std::string rootSocket = context.stateDir + "/" + kAppName + ".sock";
    if (getuid() != 0 && !papplSystemAddListeners(system, rootSocket.c_str())) {
        fprintf(stderr, "%s: cannot listen on %s\n", kAppName, rootSocket.c_str());
        return false;
    }
    return true;
}

// The printers and jobs saved before, and their saving from now on.
void loadState(pappl_system_t* system, AppContext* context)
{
    papplSystemLoadState(system, context->stateFile.c_str());
    forEachPrinter(system, setUpLoaded, nullptr);
    loadSpeedDefaults(system, context->speedFile);
    papplSystemSetSaveCallback(system, saveState, context);
    context->keepsState = true;
}

pappl_system_t* systemCallback(int numOptions, cups_option_t* options, void* data)
{
    auto* context = static_cast<AppContext*>(data);
    ServerOptions server;
    if (!readOptions(*context, numOptions, options, &server)) {
        return nullptr;
    }
    if (context->server) {
        // libcups makes $HOME/.cups (and keeps TLS keys there): in the state
        // folder, like everything else the server writes. Before any thread.
        setenv("HOME", context->stateDir.c_str(), 1);
    }
    pappl_system_t* system = createSystem(context, server);
    if (system == nullptr || !context->server) {
        return system;  // "drivers" and the like: no state, no listeners
    }
    guardSystemPages(system, strcmp(server.logFile, "-") != 0 && strcmp(server.logFile, "syslog") != 0);
    addAddPrinterPage(system, &context->driverList);
    // A server a sub-command starts for itself when none runs serves only
    // the domain socket; both kinds keep the state.
    if (cupsGetOption("private-server", numOptions, options) == nullptr && !startListening(system, *context, server)) {
        papplSystemDelete(system);
        return nullptr;
    }
    loadState(system, context);
    return system;
}

// Whether a server answers on the domain socket at `path`.
bool serverAnswers(const std::string& path)
{
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd.valid() && connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

// The sub-commands that talk to the state folder's server start a private
// one of their own when none answers (libpappl's papplMainloop). Say so
// first: after a crash, that server has only the state saved before it,
// and it serves no network clients.
void warnWhenServerGone(const char* subCommand, const AppContext& context, int argc, char* argv[])
{
    constexpr const char* kOwnServer[] = {"server", "drivers", "devices", "shutdown", ""};
    for (const char* name : kOwnServer) {
        if (strcmp(subCommand, name) == 0) {
            return;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "-u") == 0 || strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "--version") == 0) {
            return;  // a printer by its URI, or no server at all
        }
    }
    // Where libpappl looks: the user's server socket in TMPDIR (the state
    // folder), and root's in SNAP_COMMON.
    const std::string own = context.stateDir + "/" + kAppName + std::to_string(getuid()) + ".sock";
    const std::string root = context.stateDir + "/" + kAppName + ".sock";
    if ((getuid() != 0 && serverAnswers(own)) || serverAnswers(root)) {
        return;
    }
    fprintf(stderr,
            "%s: no server is running for %s (it was stopped, or it crashed); starting a private one for this "
            "command: it has the printers and jobs saved before, and serves no network clients until you start "
            "\"%s server\" again\n",
            kAppName, context.stateDir.c_str(), kAppName);
}

// The sub-command's name, or "" when none is given.
const char* subCommandOf(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            return argv[i];
        }
        if (strcmp(argv[i], "-o") == 0 || strcmp(argv[i], "-d") == 0 || strcmp(argv[i], "-m") == 0 ||
            strcmp(argv[i], "-v") == 0 || strcmp(argv[i], "-j") == 0 || strcmp(argv[i], "-u") == 0 ||
            strcmp(argv[i], "-n") == 0 || strcmp(argv[i], "-t") == 0) {
            ++i;  // the option's value
        }
    }
    return "";
}

}  // namespace

}  // namespace tvl

int main(int argc, char* argv[])
{
    using namespace tvl;
    ignoreBrokenPipes();
    const char* subCommand = subCommandOf(argc, argv);
    if (strcmp(subCommand, "devices") == 0) {
        return listLocalDevices();  // libpappl's own looks for DNS-SD printers
    }
    AppContext context;
    context.server = strcmp(subCommand, "server") == 0;
    if (!chooseStateDir(&context)) {
        return 1;
    }
    warnWhenServerGone(subCommand, context, argc, argv);
    const auto texts = makeDriverTexts();
    std::array<pappl_pr_driver_t, texts.size()> drivers{};
    for (size_t i = 0; i < texts.size(); ++i) {
        drivers[i] = {texts[i].name, texts[i].description, texts[i].deviceId, nullptr};
    }
    context.drivers = drivers.data();
    context.numDrivers = static_cast<int>(drivers.size());
    context.driverList = {context.drivers, context.numDrivers};
    return papplMainloop(argc, argv, kVersion, nullptr, context.numDrivers, context.drivers, autoAddDriver,
                         driverCallback, nullptr, nullptr, systemCallback, nullptr, &context);
}
