// What the registry store tests share: a fresh database per test, short-hands for keys and
// values, and the kit's readers and child processes.
#pragma once

#include "platform/Registry.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RegistryReads.h"
#include "tests/support/ScratchRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace storetest {

// A fresh database per test: m_registry.path() is the file, in m_registry.directory().
using FreshRegistry = testkit::ScratchRegistryTest;
using testkit::subKeyNames;
using testkit::valueNames;

// Creates (or opens) a key with every right; fails the test if that does not work.
HKEY createKey(HKEY parent, const char* path);
LONG setString(HKEY key, const char* name, const std::string& text);
// The value's data as text, or the error code as "error N".
std::string readString(HKEY key, const char* name);

using testkit::ProcessResult;
using testkit::runProcess;

} // namespace storetest
