#pragma once

#include "platform/sys/service.h"

#include <QString>

// A reader application the owner can bind files to: how the device starts
// it, and the name the owner knows it by.
struct NamedService
{
    sys::Service service;
    QString name;
};
