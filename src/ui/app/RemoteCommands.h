#pragma once

#include "ui/app/SingleInstance.h"

class Controller;

// Carries out a command that a later start of the program handed over to
// this running copy.
SingleInstance::Reply RunRemoteCommand(Controller& app, const SingleInstance::Request& request);

// Hands a command to the copy that holds the data folder and prints its
// answer; returns the exit status for this start.
int HandOverToRunningCopy(SingleInstance& instance, const SingleInstance::Request& request);
