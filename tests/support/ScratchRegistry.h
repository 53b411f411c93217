// A registry of a test's own.
#pragma once

#include "tests/support/ScratchFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace testkit {

// An empty registry for as long as the object lives: COMRT_REGISTRY names a
// fresh database file (in memory storage: the store syncs every call), which
// the process and every program it starts then use. On the way out the
// process's connection is closed, COMRT_REGISTRY gets back what it had, and
// the file goes.
class ScratchRegistry {
public:
    ScratchRegistry();
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    const ScratchDirectory& directory() const { return m_directory; }
    // The database file.
    std::string path() const { return m_directory.file("registry.db"); }

private:
    ScratchDirectory m_directory;
    std::optional<std::string> m_previous;
};

// A test with a scratch registry of its own.
class ScratchRegistryTest : public ::testing::Test {
protected:
    ScratchRegistry m_registry;
};

} // namespace testkit
