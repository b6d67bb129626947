// Modes of the files the programs write. They are given explicitly, so that no umask
// widens them: a service started with umask 0 would otherwise leave files in its folders
// that any user could write.
#pragma once

#include <QFileDevice>

// Readable by everyone, written by its writer only (0644): the printer list, the status
// files, the heartbeat, the logs.
const int c_iPublicFileMode = 0644;
const QFileDevice::Permissions c_publicFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

// The writer's alone (0600): the scratch files holding a command's output.
const int c_iPrivateFileMode = 0600;
