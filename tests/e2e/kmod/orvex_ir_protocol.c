// SPDX-License-Identifier: GPL-2.0
// Test stand-in for the receiver driver's protocol file: /proc/orvex_ir_protocol holds
// up to 4 bytes. A write replaces the content with exactly the bytes written (0 to 4),
// so a test can offer the little-endian selector, a single character or an empty file.
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/proc_fs.h>
#include <linux/string.h>
#include <linux/uaccess.h>

static DEFINE_MUTEX(protocol_lock);
static char protocol_value[4];
static size_t protocol_len = sizeof(protocol_value);

static ssize_t protocol_read(struct file *file, char __user *buf, size_t count, loff_t *pos) {
    char copy[4];
    size_t len;

    mutex_lock(&protocol_lock);
    memcpy(copy, protocol_value, sizeof(copy));
    len = protocol_len;
    mutex_unlock(&protocol_lock);
    return simple_read_from_buffer(buf, count, pos, copy, len);
}

static ssize_t protocol_write(struct file *file, const char __user *buf, size_t count,
                              loff_t *pos) {
    char copy[4];

    if (count > sizeof(copy))
        return -EINVAL;
    if (copy_from_user(copy, buf, count))
        return -EFAULT;
    mutex_lock(&protocol_lock);
    memcpy(protocol_value, copy, count);
    protocol_len = count;
    mutex_unlock(&protocol_lock);
    return count;
}

static const struct proc_ops protocol_ops = {
    .proc_read = protocol_read,
    .proc_write = protocol_write,
    .proc_lseek = default_llseek,
};

static int __init protocol_init(void) {
    if (!proc_create("orvex_ir_protocol", 0644, NULL, &protocol_ops))
        return -ENOMEM;
    return 0;
}

static void __exit protocol_exit(void) {
    remove_proc_entry("orvex_ir_protocol", NULL);
}

module_init(protocol_init);
module_exit(protocol_exit);
MODULE_LICENSE("GPL");
MODULE_DESCRIPTION("Test stand-in for the IR receiver's protocol file");
