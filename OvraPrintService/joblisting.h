// Reading "lpstat -l -o" job listings: which jobs print, and which printing job the
// user has just cancelled.
#pragma once

#include "printerstate.h"

#include <QList>
#include <QStringList>

#include <functional>

// Called for a job that the previous check saw printing and that is now reported as
// cancelled by the user.
using JobCanceledFn = std::function<void(const stJobState& job)>;

// The jobs of the listing that are printing (status 1), in listing order.
QList<stJobState> ParseJobListing(const QStringList& lines, const QList<stJobState>& listPrevious,
                                  const JobCanceledFn& onCanceled);
