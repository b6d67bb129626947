// An update is up to three transfers of the image, 100 ms apart; the last result
// decides the message shown.
#pragma once

#include <QString>

const int c_iFWUpdateAttempts = 3;
const unsigned long c_ulFWUpdatePauseMs = 100; // after every failed attempt, the last one too

// Runs FWUpdateTask until it succeeds or the attempts are used up; its last result.
int RunFWUpdateAttempts(int vid, int pid, const QString& uri, char* data, int length);

// The message key for an FWUpdateTask result.
const char* UpdateResultKey(int result);
