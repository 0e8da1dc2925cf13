// SPDX-License-Identifier: Apache-2.0
// What the application needs from libpappl 1.3.1 that its public API does
// not give, and what it does in place of that version's faults: every call
// into libpappl's private functions or data, and every work-around, lives
// here. Each item says what would retire it. The project's own patches
// (app/libpappl/patches) fix none of these, so each is needed with the
// patched library and with the system's (-DTVL_SYSTEM_PAPPL=ON) alike.
// Two whole replacements keep their own files, through the public API:
// the Add Printer page (AddPrinterPage.h) and the "devices" sub-command
// (Devices.h), in place of libpappl's, which abort without avahi-daemon.
#pragma once

#include <string>

#include <pappl/pappl.h>

namespace tvl {

// libpappl 1.3.1's own page handlers. libpappl exports them but its
// headers do not declare them; the application calls them after its own
// check of who asks (WebAccess.h). Retire when libpappl checks who posts
// its web forms, or declares these handlers in its headers.
extern "C" {
void _papplSystemWebHome(pappl_client_t*, pappl_system_t*);
void _papplSystemWebConfig(pappl_client_t*, pappl_system_t*);
void _papplSystemWebSecurity(pappl_client_t*, pappl_system_t*);
void _papplSystemWebLogs(pappl_client_t*, pappl_system_t*);
void _papplSystemWebLogFile(pappl_client_t*, pappl_system_t*);
void _papplPrinterWebHome(pappl_client_t*, pappl_printer_t*);
void _papplPrinterWebJobs(pappl_client_t*, pappl_printer_t*);
void _papplPrinterWebCancelAllJobs(pappl_client_t*, pappl_printer_t*);
void _papplPrinterWebDelete(pappl_client_t*, pappl_printer_t*);
void _papplPrinterWebConfig(pappl_client_t*, pappl_printer_t*);
void _papplPrinterWebMedia(pappl_client_t*, pappl_printer_t*);
}

// The connected socket of the job's network printer (socket://, snmp://
// and dnssd:// devices), or -1 for any other device. Retire when libpappl
// writes to a network printer with a timeout, and Cancel-Job ends a write
// the printer does not take.
int printerSocketOf(pappl_job_t* job, pappl_device_t* device);

// libpappl writes to sockets without MSG_NOSIGNAL: a printer that closes
// its connection would end the process at the next write. The write fails
// with EPIPE instead and the job is aborted. (libcups's httpInitialize
// ignores SIGPIPE too, once something calls it; the server does not count
// on that.) Retire when libpappl sends with MSG_NOSIGNAL.
void ignoreBrokenPipes();

// libpappl 1.3.1 listens on one address family of a name (IPv4 when it
// can), so "localhost" would leave out a client that resolves it to ::1:
// it is 127.0.0.1 and, where the machine has it, [::1]. Retire when
// papplSystemAddListeners listens on every address of a name.
bool addListeners(pappl_system_t* system, const char* host);

// Calls `action` with each printer and `data`. The printers' IDs are
// collected first: libpappl holds its system lock while it iterates, and
// publishing or adding pages takes that lock again.
void forEachPrinter(pappl_system_t* system, void (*action)(pappl_printer_t*, void*), void* data);

// papplSystemSaveState, then the jobs that never got a document (cancelled
// after Create-Job) left out of the file: libpappl 1.3.1 saves them without
// a format, then refuses that line and every job line after it when it
// loads the state. Retire when libpappl saves or loads a job without a
// format.
bool saveStateFile(pappl_system_t* system, const std::string& path);

// libpappl 1.3.1 loads print-speed-default from its state file but does not
// save it: the application keeps it next to it, a line "ID SPEED" per
// printer, and publishes it again once the state is loaded. Retire when
// papplSystemSaveState writes print-speed-default.
bool saveSpeedDefaults(pappl_system_t* system, const std::string& path);
void loadSpeedDefaults(pappl_system_t* system, const std::string& path);

// What the job history looks like: it changes when a job is created, ends
// or is cancelled while it waits. libpappl 1.3.1 saves its state on
// configuration changes, and papplJobCancel on a waiting job makes none: a
// queued job cancelled before a restart would come back pending and print.
// The application saves the state, within a second, when this changed.
// Retire when papplJobCancel marks the configuration changed.
unsigned long jobHistorySignature(pappl_system_t* system);

}  // namespace tvl
