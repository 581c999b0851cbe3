#pragma once

#include "core/cli/SingleInstance.h"

class Controller;

// Carries out a command that a later start of the program handed over to
// this running copy.
SingleInstance::Reply RunRemoteCommand(Controller& app, const SingleInstance::Request& request);

