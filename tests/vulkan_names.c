/* velkor.h and Vulkan's names in one translation unit: velkor's own names
 * carry the velkor_ and VELKOR_ prefixes, so the Vk and VK_ names a Vulkan
 * program declares (a few of vulkan_core.h's, as it writes them) must not
 * collide with anything velkor.h declares or defines. Compiled, not run. */
#include <velkor.h>
#include <velkor_analysis.h>

#include <stdint.h>

typedef uint32_t VkFlags;
typedef uint32_t VkBool32;
typedef uint64_t VkDeviceSize;
typedef struct VkInstance_T *VkInstance;
typedef struct VkPhysicalDevice_T *VkPhysicalDevice;
typedef struct VkDevice_T *VkDevice;
typedef struct VkQueue_T *VkQueue;
typedef struct VkCommandBuffer_T *VkCommandBuffer;

typedef enum VkResult {
    VK_SUCCESS = 0,
    VK_NOT_READY = 1,
    VK_TIMEOUT = 2,
    VK_EVENT_SET = 3,
    VK_EVENT_RESET = 4,
    VK_INCOMPLETE = 5,
    VK_ERROR_OUT_OF_HOST_MEMORY = -1,
    VK_ERROR_OUT_OF_DEVICE_MEMORY = -2,
    VK_ERROR_INITIALIZATION_FAILED = -3,
    VK_ERROR_DEVICE_LOST = -4,
    VK_ERROR_MEMORY_MAP_FAILED = -5,
    VK_ERROR_LAYER_NOT_PRESENT = -6,
    VK_ERROR_EXTENSION_NOT_PRESENT = -7,
    VK_ERROR_FEATURE_NOT_PRESENT = -8,
    VK_ERROR_INCOMPATIBLE_DRIVER = -9,
    VK_ERROR_TOO_MANY_OBJECTS = -10,
    VK_ERROR_FORMAT_NOT_SUPPORTED = -11,
    VK_ERROR_FRAGMENTED_POOL = -12,
    VK_ERROR_UNKNOWN = -13,
    VK_ERROR_OUT_OF_POOL_MEMORY = -1000069000,
    VK_ERROR_INVALID_EXTERNAL_HANDLE = -1000072003,
    VK_ERROR_FRAGMENTATION = -1000161000,
    VK_ERROR_NOT_PERMITTED = -1000174001,
    VK_RESULT_MAX_ENUM = 0x7FFFFFFF
} VkResult;

typedef struct VkApplicationInfo {
    int sType;
    const void *pNext;
    const char *pApplicationName;
    uint32_t applicationVersion;
    const char *pEngineName;
    uint32_t engineVersion;
    uint32_t apiVersion;
} VkApplicationInfo;

#define VK_MAKE_API_VERSION(variant, major, minor, patch) \
    ((((uint32_t)(variant)) << 29U) | (((uint32_t)(major)) << 22U) | (((uint32_t)(minor)) << 12U) | ((uint32_t)(patch)))
#define VK_API_VERSION_1_0 VK_MAKE_API_VERSION(0, 1, 0, 0)

typedef VkResult (*PFN_vkCreateInstance)(const void *pCreateInfo, const void *pAllocator, VkInstance *pInstance);
typedef void (*PFN_vkDestroyInstance)(VkInstance instance, const void *pAllocator);

/* Both sets in use side by side. */
int velkor_beside_vulkan(VkInstance instance, PFN_vkDestroyInstance destroy);
int velkor_beside_vulkan(VkInstance instance, PFN_vkDestroyInstance destroy) {
    const VkApplicationInfo info = {0, 0, "velkor", VELKOR_VERSION_MAJOR, 0, 0, VK_API_VERSION_1_0};
    VkResult result = VK_ERROR_NOT_PERMITTED;
    if (destroy != 0) destroy(instance, 0);
    if (VELKOR_ERROR_NOT_PERMITTED != VK_SUCCESS && info.apiVersion != 0) result = VK_SUCCESS;
    return (int)result + (int)sizeof(velkor_info_record) + VkOpenMp3File(0, 0, 0);
}
