// What the application needs from libpappl 1.3.1 that its public API does
// not give, each item reaching into libpappl's private data to work around
// one fault of that version. All such reaching in lives here.
#pragma once

#include <pappl/pappl.h>

// The connected socket of the job's network printer (socket://, snmp://
// and dnssd:// devices), or -1 for any other device.
int printerSocketOf(pappl_job_t* job, pappl_device_t* device);
