// SPDX-License-Identifier: GPL-2.0
// Test stand-in for the HDMI driver's CEC announcements: platform devices at the two device
// paths the daemon accepts, /devices/platform/soc/hdmi and /devices/soc.0/1ee0000.hdmi. A
// write to a device's "change_uevent" file makes the kernel raise a "change" uevent of that
// device, with each line written as one variable; the kernel puts ACTION, DEVPATH and
// SUBSYSTEM before them, as it does for the real driver, and sends it from port 0.
#include <linux/device.h>
#include <linux/err.h>
#include <linux/module.h>
#include <linux/platform_device.h>
#include <linux/slab.h>
#include <linux/string.h>

// Well below what the kernel allows a uevent, with its own variables added.
#define MAX_LINES 16

static struct device *soc;               // /devices/platform/soc, the machine's or ours
static struct platform_device *own_soc;  // registered here when the machine has none
static struct device *soc_0;             // /devices/soc.0
static struct platform_device *hdmi[2];

static ssize_t change_uevent_store(struct device *dev, struct device_attribute *attr,
                                   const char *buf, size_t count) {
    char *envp[MAX_LINES + 1];
    char *copy;
    char *rest;
    char *line;
    int lines = 0;
    int ret;

    copy = kstrndup(buf, count, GFP_KERNEL);
    if (!copy)
        return -ENOMEM;
    rest = copy;
    while ((line = strsep(&rest, "\n")) != NULL) {
        if (*line == '\0')
            continue;
        if (lines == MAX_LINES) {
            kfree(copy);
            return -E2BIG;
        }
        envp[lines++] = line;
    }
    envp[lines] = NULL;
    ret = kobject_uevent_env(&dev->kobj, KOBJ_CHANGE, envp);
    kfree(copy);
    return ret ? ret : count;
}
static DEVICE_ATTR_WO(change_uevent);

static struct platform_device *add_hdmi(struct device *parent, const char *name) {
    struct platform_device_info info = {
        .parent = parent,
        .name = name,
        .id = PLATFORM_DEVID_NONE,
    };
    struct platform_device *pdev = platform_device_register_full(&info);
    int ret;

    if (IS_ERR(pdev))
        return pdev;
    ret = device_create_file(&pdev->dev, &dev_attr_change_uevent);
    if (ret) {
        platform_device_unregister(pdev);
        return ERR_PTR(ret);
    }
    return pdev;
}

static void remove_all(void) {
    int i;

    for (i = 0; i < ARRAY_SIZE(hdmi); i++) {
        if (!IS_ERR_OR_NULL(hdmi[i])) {
            device_remove_file(&hdmi[i]->dev, &dev_attr_change_uevent);
            platform_device_unregister(hdmi[i]);
        }
        hdmi[i] = NULL;
    }
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

    soc = bus_find_device_by_name(&platform_bus_type, NULL, "soc");
    if (!soc) {
        own_soc = platform_device_register_simple("soc", PLATFORM_DEVID_NONE, NULL, 0);
        if (IS_ERR(own_soc))
            return PTR_ERR(own_soc);
        soc = get_device(&own_soc->dev);
    }
    soc_0 = root_device_register("soc.0");
    hdmi[0] = add_hdmi(soc, "hdmi");
    hdmi[1] = IS_ERR(soc_0) ? ERR_CAST(soc_0) : add_hdmi(soc_0, "1ee0000.hdmi");
    ret = IS_ERR(hdmi[0]) ? PTR_ERR(hdmi[0]) : IS_ERR(hdmi[1]) ? PTR_ERR(hdmi[1]) : 0;
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
MODULE_DESCRIPTION("Test stand-in for the HDMI driver's CEC uevents");
