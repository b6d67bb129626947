// ovra-check's eyes: gathers the facts that checks.h judges. Each function reads one
// part of the desk; none decides anything.
#pragma once

#include "checks.h"

QList<stPathFact> GatherInstallRoot();
stProcessFacts GatherProcesses();
stCupsFacts GatherCups();
// The maker's USB devices under a sysfs root ("/sys/bus/usb/devices").
QList<stUsbDevice> GatherUsbDevices(const QString& strSysfsRoot);
// Asks each address for its status once (each at most 2 s, all at once).
QList<stNetAnswer> GatherNetAnswers(const QStringList& listAddresses);
stServiceFiles GatherServiceFiles();
stSaneFacts GatherSane();
