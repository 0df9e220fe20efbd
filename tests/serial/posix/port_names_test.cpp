// COM<n> names against device, sysfs and ports folders that the tests make. Nothing here
// opens a device.
#include "serial/error_codes.h"
#include "serial/posix/port_names.h"
#include "serial/posix/pty_fixture.h"
#include "serial/system_messages.h"

#include <fstream>

namespace serial::testing {
namespace {

namespace fs = std::filesystem;
using posix::ComNumber;
using posix::PortRoots;

TEST(PosixPortNames, ComNumbers) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"COM1", 1}, {"com12", 12},   {"\\\\.\\COM64", 64}, {"\\\\.\\cOm7", 7},  {"COM0", {}},
        {"COM", {}}, {"COM01", {}},   {"COM1x", {}},        {"COM-1", {}},       {"LPT1", {}},
        {"", {}},    {"\\\\.\\", {}}, {" COM1", {}},        {"COM99999999", {}},
    };
    for (const auto& [name, number] : cases)
        EXPECT_EQ(ComNumber(name), number) << name;
}

TEST(PosixPortNames, TheTableBothWays) {
    const std::pair<int, const char*> cases[] = {
        {1, "ttyUSB0"}, {16, "ttyUSB15"}, {17, "ttyACM0"},  {32, "ttyACM15"}, {33, "ttyS0"},
        {48, "ttyS15"}, {49, "rfcomm0"},  {64, "rfcomm15"}, {0, ""},          {65, ""},
    };
    for (const auto& [n, device] : cases)
        EXPECT_EQ(posix::TableDevice(n), device) << n;
    for (int n = 1; n <= 64; ++n)
        EXPECT_EQ(posix::TableNumber(posix::TableDevice(n)), n);
    for (const char* outside : {"ttyS16", "ttyUSB01", "ttyUSB", "tty5", "ttyACMx", "rfcomm-1"})
        EXPECT_EQ(posix::TableNumber(outside), std::nullopt) << outside;
}

// A /dev and a /sys of the test's making. Its terminal nodes are links to /dev/null, which
// this sysfs files under the tty class; the real sysfs does not, so they are never taken
// for ports outside these tests.
class FakeSystem {
public:
    FakeSystem() {
        fs::create_directories(Dev());
        fs::create_directories(root_.Path() / "sys" / "dev" / "char");
        MarkNullAsTerminal(true);
    }
    PortRoots Roots() const { return {Dev().string(), (root_.Path() / "sys").string()}; }
    fs::path Dev() const { return root_.Path() / "dev"; }

    // A terminal node dev/<name> that sysfs lists (with a device) and, for a ttyS, its UART.
    void AddTerminal(const std::string& name, std::optional<int> uart_type = {}) {
        fs::create_symlink("/dev/null", Dev() / name);
        AddSysfsEntry(name, true, uart_type);
    }
    void AddSysfsEntry(const std::string& name, bool device, std::optional<int> uart_type) {
        const fs::path entry = root_.Path() / "sys" / "class" / "tty" / name;
        fs::create_directories(entry);
        if (device)
            fs::create_directories(entry / "device");
        if (uart_type)
            std::ofstream(entry / "type") << *uart_type << "\n";
    }
    void MarkNullAsTerminal(bool terminal) {
        const fs::path link = root_.Path() / "sys" / "dev" / "char" / "1:3";
        std::error_code ignored;
        fs::remove(link, ignored);
        if (terminal)
            fs::create_symlink("../../devices/virtual/tty/fake", link);
    }

private:
    TempDir root_;
};

class PosixPortResolution : public ::testing::Test {
protected:
    std::optional<std::string> PathOf(const std::string& name) {
        const auto port = posix::ResolvePort(name, fake.Roots());
        return port ? std::optional<std::string>(port->path) : std::nullopt;
    }
    FakeSystem fake;
    PortsFolders folders;
    Pty pty;
};

TEST_F(PosixPortResolution, ToolFolderThenUserFolderThenTable) {
    fake.AddTerminal("ttyUSB0");
    fake.AddTerminal("ttyACM0");
    const std::string table = (fake.Dev() / "ttyUSB0").string();
    EXPECT_EQ(PathOf("COM1"), table);
    EXPECT_EQ(PathOf("\\\\.\\COM1"), table);

    PortsFolders::Link(folders.User(), 1, (fake.Dev() / "ttyACM0").string());
    const std::string user = (folders.User() / "COM1").string();
    EXPECT_EQ(PathOf("COM1"), user);
    EXPECT_EQ(posix::ResolvePort("COM1", fake.Roots())->device, "/dev/null");

    PortsFolders::Link(folders.Tool(), 1, pty.SlavePath());
    EXPECT_EQ(PathOf("COM1"), (folders.Tool() / "COM1").string());
    // Links name any number, beyond the table too.
    PortsFolders::Link(folders.Tool(), 200, pty.SlavePath());
    EXPECT_EQ(PathOf("COM200"), (folders.Tool() / "COM200").string());
}

TEST_F(PosixPortResolution, OnlyTerminalsAndPseudoTerminalsOnlyFromTheToolFolder) {
    fake.AddTerminal("ttyUSB1");
    fs::create_directories(folders.Tool());
    std::ofstream(folders.Tool() / "plain-file") << "x";
    struct Case {
        const char* what;
        fs::path folder;
        std::string target;
    } cases[] = {
        // A stale link to someone's shell must not become a port.
        {"pty from the user folder", folders.User(), pty.SlavePath()},
        {"missing target", folders.Tool(), "/nonexistent/ttyUSB9"},
        {"regular file", folders.Tool(), (folders.Tool() / "plain-file").string()},
        {"folder", folders.Tool(), folders.Tool().string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PortsFolders::Link(c.folder, 2, c.target);
        // The folder that names the port decides: no fall-through to ttyUSB1.
        EXPECT_EQ(PathOf("COM2"), std::nullopt);
        fs::remove(c.folder / "COM2");
    }
    EXPECT_EQ(PathOf("COM2"), (fake.Dev() / "ttyUSB1").string());
    // A character device that is no terminal.
    fake.MarkNullAsTerminal(false);
    EXPECT_EQ(PathOf("COM2"), std::nullopt);
    // No node at all.
    EXPECT_EQ(PathOf("COM3"), std::nullopt);
    EXPECT_EQ(PathOf("COM65"), std::nullopt);
}

TEST_F(PosixPortResolution, ASerialNodeWithoutAUartDoesNotExist) {
    fake.AddTerminal("ttyS0", 0);
    fake.AddTerminal("ttyS1", 4);
    TPosixDeviceHooks hooks;
    hooks.roots = fake.Roots();
    int opens = 0;
    hooks.open = [&opens](const char*, int) {
        ++opens;
        errno = ENOENT;
        return -1;
    };
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    TSioDispatcherPtr d(new TSioPosixDispatcher(nullptr, hooks));
    for (const char* name : {"COM33", "\\\\.\\COM33"})
        EXPECT_FALSE(d->CheckPort(name)) << name;
    for (const char* name : {"COM34", "\\\\.\\COM34"})
        EXPECT_TRUE(d->CheckPort(name)) << name;
    EXPECT_EQ(d->InitPort("COM33", 56000, NOPARITY, 8, 1, 4096, 4096, 0), ecFileNotFound);
    EXPECT_EQ(opens, 0);
}

TEST_F(PosixPortResolution, InputOutputErrorOnOpeningASerialNodeMeansNoSuchPort) {
    fake.AddTerminal("ttyS1", 4); // sysfs still claims a UART
    fake.AddTerminal("ttyUSB0");
    TPosixDeviceHooks hooks;
    hooks.roots = fake.Roots();
    hooks.open = [](const char*, int) {
        errno = EIO;
        return -1;
    };
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    TSioDispatcherPtr d(new TSioPosixDispatcher(nullptr, hooks));
    EXPECT_EQ(d->InitPort("COM34", 56000, NOPARITY, 8, 1, 4096, 4096, 0), ecFileNotFound);
    // Elsewhere it is the failure it is.
    EXPECT_EQ(d->InitPort("COM1", 56000, NOPARITY, 8, 1, 4096, 4096, 0),
              -static_cast<int32_t>(kErrnoTag | EIO));
}

TEST_F(PosixPortResolution, TheDeviceListNamesSysfsDevicesAndLinks) {
    fake.AddTerminal("ttyUSB0");
    fake.AddSysfsEntry("ttyACM3", true, {});
    fake.AddSysfsEntry("ttyS0", true, 4);
    fake.AddSysfsEntry("ttyS1", true, 0);  // no UART
    fake.AddSysfsEntry("tty5", false, {}); // a virtual console
    fake.AddSysfsEntry("ttyUSB1", false, {});
    fake.AddSysfsEntry("ttyUSB20", true, {}); // outside the table
    PortsFolders::Link(folders.Tool(), 70, pty.SlavePath());
    PortsFolders::Link(folders.User(), 9, (fake.Dev() / "ttyUSB0").string());
    PortsFolders::Link(folders.User(), 10, "/nonexistent");
    fs::create_symlink(fake.Dev() / "ttyUSB0", folders.User() / "notes");
    EXPECT_EQ(posix::ListPorts(fake.Roots()),
              (std::vector<std::string>{"COM1", "COM9", "COM20", "COM33", "COM70"}));
}

} // namespace
} // namespace serial::testing
