// SPDX-License-Identifier: GPL-2.0
// Test stand-in for the HDMI driver's CEC announcements and for the chatter of a box's other
// devices. Platform devices at the two device paths the daemon accepts,
// /devices/platform/soc/hdmi and /devices/soc.0/1ee0000.hdmi, and beside them a child of each
// (.../hdmi/cec0, .../1ee0000.hdmi/1ee0000.cec), a device whose path begins as the first's does
// (/devices/platform/soc/hdmi0) and an unrelated one (/devices/platform/soc/1c00000.usb).
//
// A write to a device's "change_uevent" file makes the kernel raise a "change" uevent of that
// device, with each line written as one variable; the kernel puts ACTION, DEVPATH and
// SUBSYSTEM before them, as it does for the real driver, and sends it from port 0. A write to
// its "raise_uevents" file raises many in one go: the first line is "ACTION COUNT" (add,
// remove, change, move, online, offline, bind or unbind), each further line a variable.
#include <linux/device.h>
#include <linux/err.h>
#include <linux/kobject.h>
#include <linux/module.h>
#include <linux/platform_device.h>
#include <linux/sched.h>
#include <linux/slab.h>
#include <linux/string.h>

// Well below what the kernel allows a uevent, with its own variables added.
#define MAX_LINES 16
#define MAX_COUNT 100000

static struct device *soc;               // /devices/platform/soc, the machine's or ours
static struct platform_device *own_soc;  // registered here when the machine has none
static struct device *soc_0;             // /devices/soc.0
static struct platform_device *hdmi[2];
// The other devices, registered after the HDMI ones and removed before them.
static struct platform_device *others[4];

// Splits text into lines, skipping empty ones, each a variable of envp, which ends with NULL.
static int split_variables(char *text, char **envp) {
    char *line;
    int lines = 0;

    while (text && (line = strsep(&text, "\n")) != NULL) {
        if (*line == '\0')
            continue;
        if (lines == MAX_LINES)
            return -E2BIG;
        envp[lines++] = line;
    }
    envp[lines] = NULL;
    return 0;
}

static ssize_t change_uevent_store(struct device *dev, struct device_attribute *attr,
                                   const char *buf, size_t count) {
    char *envp[MAX_LINES + 1];
    char *copy;
    int ret;

    copy = kstrndup(buf, count, GFP_KERNEL);
    if (!copy)
        return -ENOMEM;
    ret = split_variables(copy, envp);
    if (!ret)
        ret = kobject_uevent_env(&dev->kobj, KOBJ_CHANGE, envp);
    kfree(copy);
    return ret ? ret : count;
}
static DEVICE_ATTR_WO(change_uevent);

static const struct {
    const char *name;
    enum kobject_action action;
} actions[] = {
    {"add", KOBJ_ADD},   {"remove", KOBJ_REMOVE}, {"change", KOBJ_CHANGE},
    {"move", KOBJ_MOVE}, {"online", KOBJ_ONLINE}, {"offline", KOBJ_OFFLINE},
    {"bind", KOBJ_BIND}, {"unbind", KOBJ_UNBIND},
};

static ssize_t raise_uevents_store(struct device *dev, struct device_attribute *attr,
                                   const char *buf, size_t count) {
    char *envp[MAX_LINES + 1];
    char name[16];
    char *copy;
    char *rest;
    unsigned int n;
    unsigned int i;
    int action = -1;
    int ret = -EINVAL;

    copy = kstrndup(buf, count, GFP_KERNEL);
    if (!copy)
        return -ENOMEM;
    rest = copy;
    if (sscanf(strsep(&rest, "\n"), "%15s %u", name, &n) == 2 && n <= MAX_COUNT) {
        for (i = 0; i < ARRAY_SIZE(actions); i++) {
            if (strcmp(name, actions[i].name) == 0)
                action = i;
        }
    }
    if (action >= 0)
        ret = split_variables(rest, envp);
    for (i = 0; action >= 0 && !ret && i < n; i++) {
        ret = kobject_uevent_env(&dev->kobj, actions[action].action, envp);
        cond_resched();
    }
    kfree(copy);
    return ret ? ret : count;
}
static DEVICE_ATTR_WO(raise_uevents);

static struct attribute *stand_in_attrs[] = {
    &dev_attr_change_uevent.attr,
    &dev_attr_raise_uevents.attr,
    NULL,
};
static const struct attribute_group stand_in_group = {.attrs = stand_in_attrs};

static struct platform_device *add_device(struct device *parent, const char *name) {
    struct platform_device_info info = {
        .parent = parent,
        .name = name,
        .id = PLATFORM_DEVID_NONE,
    };
    struct platform_device *pdev = platform_device_register_full(&info);
    int ret;

    if (IS_ERR(pdev))
        return pdev;
    ret = device_add_group(&pdev->dev, &stand_in_group);
    if (ret) {
        platform_device_unregister(pdev);
        return ERR_PTR(ret);
    }
    return pdev;
}

static void remove_device(struct platform_device **pdev) {
    if (!IS_ERR_OR_NULL(*pdev)) {
        device_remove_group(&(*pdev)->dev, &stand_in_group);
        platform_device_unregister(*pdev);
    }
    *pdev = NULL;
}

static void remove_all(void) {
    int i;

    for (i = 0; i < ARRAY_SIZE(others); i++)
        remove_device(&others[i]);
    for (i = 0; i < ARRAY_SIZE(hdmi); i++)
        remove_device(&hdmi[i]);
    if (!IS_ERR_OR_NULL(soc_0))
        root_device_unregister(soc_0);
    soc_0 = NULL;
    if (soc)
        put_device(soc);
    soc = NULL;
    if (!IS_ERR_OR_NULL(own_soc))
        platform_device_unregister(own_soc);
    own_soc = NULL;
}

static int __init hdmi_cec_uevent_init(void) {
    int ret;
    int i;

    soc = bus_find_device_by_name(&platform_bus_type, NULL, "soc");
    if (!soc) {
        own_soc = platform_device_register_simple("soc", PLATFORM_DEVID_NONE, NULL, 0);
        if (IS_ERR(own_soc))
            return PTR_ERR(own_soc);
        soc = get_device(&own_soc->dev);
    }
    soc_0 = root_device_register("soc.0");
    hdmi[0] = add_device(soc, "hdmi");
    hdmi[1] = IS_ERR(soc_0) ? ERR_CAST(soc_0) : add_device(soc_0, "1ee0000.hdmi");
    ret = IS_ERR(hdmi[0]) ? PTR_ERR(hdmi[0]) : IS_ERR(hdmi[1]) ? PTR_ERR(hdmi[1]) : 0;
    if (!ret) {
        others[0] = add_device(&hdmi[0]->dev, "cec0");
        others[1] = add_device(&hdmi[1]->dev, "1ee0000.cec");
        others[2] = add_device(soc, "hdmi0");
        others[3] = add_device(soc, "1c00000.usb");
    }
    for (i = 0; !ret && i < ARRAY_SIZE(others); i++)
        ret = IS_ERR(others[i]) ? PTR_ERR(others[i]) : 0;
    if (ret)
        remove_all();
    return ret;
}

static void __exit hdmi_cec_uevent_exit(void) {
    remove_all();
}

module_init(hdmi_cec_uevent_init);
module_exit(hdmi_cec_uevent_exit);
MODULE_LICENSE("GPL");
MODULE_DESCRIPTION("Test stand-in for the HDMI driver's CEC uevents and other devices' uevents");
