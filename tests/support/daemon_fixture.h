#pragma once

#include <gtest/gtest.h>
#include <linux/input.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// One ioctl request as the code under test made it.
struct ioctl_call_t {
    int fd;
    unsigned long request;
    long arg;  // the value passed, for requests that take one
};

// Base of the daemon's tests: a temporary tree stands in for the platform's paths
// (protocol file missing, empty input directory, a regular file as /dev/uinput, an empty
// key layout directory), every global starts as at process start, and the ioctl entry of
// the kernel-call table is a recording fake. A test fails if an ERROR line was logged
// that it did not take with take_logs().
class daemon_test : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string &relative) const { return root_ + "/" + relative; }
    void write_file(const std::string &relative, const std::string &content) const;

    // Key events written to the stand-in virtual keyboard after its set-up record.
    std::vector<struct input_event> keyboard_events() const;

    // Makes entry in the input directory a FIFO standing in for an evdev node: it opens
    // read-write, and EVIOCGNAME on it answers device_name (refused when that is empty).
    // Returns the node's path.
    std::string make_device_node(const std::string &entry, const std::string &device_name) const;

    std::string root_;

   public:
    // What the fake ioctl has seen; cleared at SetUp.
    static std::vector<ioctl_call_t> ioctl_calls;
    // Device names that EVIOCGNAME answers, keyed by the path the descriptor was opened at.
    static std::map<std::string, std::string> device_names;
    // When set, answers every ioctl instead of the default fake.
    static std::function<int(int, unsigned long, void *)> ioctl_handler;
};

// Number of descriptors this process has open; a test compares it before and after.
int open_descriptor_count(void);

// Renders key events the way scenario tables write them: "+115" a press, "-115" a
// release, "SYN" a SYN_REPORT, anything else in full; separated by blanks.
std::string render_events(const std::vector<struct input_event> &events);

// Puts every process-wide variable of the daemon back as at process start, closing the
// descriptors and freeing the receiver that a test left behind.
void reset_daemon_state(void);
