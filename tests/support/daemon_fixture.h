// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <gtest/gtest.h>
#include <linux/input.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "keymap/keymap.h"

// One ioctl request as the code under test made it.
struct ioctl_call_t {
    int fd;
    unsigned long request;
    long arg;  // the value passed, for requests that take one
};

// Base of the daemon's tests: a temporary tree stands in for the platform's paths
// (protocol file missing, empty input directory, a regular file as /dev/uinput, an empty
// key layout directory), every global starts as at process start, the ioctl entry of the
// kernel-call table is a recording fake and its recvfrom entry lets send_uevent stand in for
// the kernel. A test fails if an ERROR line was logged
// that it did not take with take_logs().
class daemon_test : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string &relative) const { return root_ + "/" + relative; }
    void write_file(const std::string &relative, const std::string &content) const;

    // A box with one customer remote: NEC selected, the standard layout and the customer
    // layout "customer_ir_00ff.kl" in the key layout directory.
    void write_platform(const std::string &standard, const std::string &customer) const;

    // Runs start-up as main does; its standard output is kept in stdout_.
    int start(int *status = nullptr);

    // Key events written to the stand-in virtual keyboard after its set-up record; and
    // those written since the last call, rendered.
    std::vector<struct input_event> keyboard_events() const;
    std::string new_keyboard_events();

    // Points g_key_dev at the stand-in virtual keyboard, as start-up does once it is created.
    void use_keyboard();

    // Makes entry in the input directory a FIFO standing in for an evdev node: it opens
    // read-write, and EVIOCGNAME on it answers device_name (refused when that is empty).
    // Returns the node's path.
    std::string make_device_node(const std::string &entry, const std::string &device_name) const;

    // Changes the input directory step by step, steps separated by blanks: "+entry:name"
    // makes a device node (":name" left out: it reports no name), "-entry" deletes one,
    // "/entry:name" makes a directory, which cannot be opened read-write.
    void change_input_dir(const std::string &steps) const;

    // Points the input directory at a new folder under it whose path is length bytes long
    // (near the 4096 of a path), made of nested folders; returns the path.
    std::string use_deep_input_dir(size_t length);

    std::string root_;
    std::string stdout_;
    size_t keyboard_events_seen_ = 0;
    std::string deep_input_dir_;

   public:
    // What the fake ioctl has seen; cleared at SetUp.
    static std::vector<ioctl_call_t> ioctl_calls;
    // Device names that EVIOCGNAME answers, keyed by the path the descriptor was opened at.
    static std::map<std::string, std::string> device_names;
    // When set, answers every ioctl instead of the default fake.
    static std::function<int(int, unsigned long, void *)> ioctl_handler;
};

// Writes one receiver event carrying a raw IR code, as the driver reports it.
void write_raw_code(int fd, int32_t value);

// What a descriptor of this process leads to, as /proc shows it; empty when it is closed.
std::string descriptor_path(int fd);

// Number of descriptors this process has open; a test compares it before and after.
int open_descriptor_count(void);

// Renders key events the way scenario tables write them: "+115" a press, "-115" a
// release, "SYN" a SYN_REPORT, anything else in full; separated by blanks.
std::string render_events(const std::vector<struct input_event> &events);

// Marks every entry of a key layout table, so that changed_entries() lists, as "N=NAME"
// (with the stored scancode when it is not N), the entries written since.
void fill_marked(keymap_t *table);
std::vector<std::string> changed_entries(const keymap_t *table);

// Puts every process-wide variable of the daemon back as at process start, closing the
// descriptors and freeing the receiver that a test left behind.
void reset_daemon_state(void);
