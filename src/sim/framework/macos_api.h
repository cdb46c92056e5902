// Declarations of the macOS platform APIs that the native bridge calls, with the same names,
// types and values as the system headers. On non-Apple builds the simulator implements them
// over a scenario of displays and DDC/CI monitors, so the bridge compiles and runs unchanged.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Mach and IOKit basic types ----
typedef unsigned int mach_port_t;
typedef mach_port_t io_object_t;
typedef io_object_t io_service_t;
typedef io_object_t io_iterator_t;
typedef io_object_t io_registry_entry_t;
typedef io_object_t io_connect_t;
#define IO_OBJECT_NULL ((io_object_t)0)
#define MACH_PORT_NULL ((mach_port_t)0)

typedef int kern_return_t;
typedef kern_return_t IOReturn;
typedef uint32_t IOOptionBits;
typedef uint32_t IOItemCount;
typedef char io_name_t[128];
typedef char io_string_t[512];
#if defined(__aarch64__) || defined(__arm64__)
typedef int boolean_t;
#else
typedef unsigned int boolean_t;
#endif
typedef uintptr_t vm_address_t;

#define KERN_SUCCESS 0
#define kIOReturnSuccess 0
#define kIOReturnError ((IOReturn)0xE00002BC)
#define kIOReturnNoMemory ((IOReturn)0xE00002BD)
#define kIOReturnNoDevice ((IOReturn)0xE00002C0)
#define kIOReturnNotPrivileged ((IOReturn)0xE00002C1)
#define kIOReturnBadArgument ((IOReturn)0xE00002C2)
#define kIOReturnUnsupported ((IOReturn)0xE00002C7)
#define kIOReturnBusy ((IOReturn)0xE00002D5)
#define kIOReturnTimeout ((IOReturn)0xE00002D6)
#define kIOReturnNotPermitted ((IOReturn)0xE00002E2)
#define kIOReturnUnsupportedMode ((IOReturn)0xE00002E6)
#define kIOReturnOverrun ((IOReturn)0xE00002E8)
#define kIOReturnNotResponding ((IOReturn)0xE00002ED)

// ---- CoreFoundation ----
typedef const void* CFTypeRef;
typedef unsigned long CFTypeID;
typedef long CFIndex;
typedef unsigned char Boolean;
typedef uint32_t CFStringEncoding;
typedef CFIndex CFComparisonResult;
typedef unsigned long CFStringCompareFlags;
typedef CFIndex CFNumberType;

typedef const struct __CFString* CFStringRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef const struct __CFData* CFDataRef;
typedef const struct __CFArray* CFArrayRef;
typedef unsigned char UInt8;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFAllocator* CFAllocatorRef;

#define kCFAllocatorDefault ((CFAllocatorRef)NULL)
#define kCFStringEncodingUTF8 ((CFStringEncoding)0x08000100)
#define kCFNumberSInt32Type ((CFNumberType)3)
#define kCFNumberSInt64Type ((CFNumberType)4)
#define kCFCompareEqualTo ((CFComparisonResult)0)

extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

CFTypeID CFGetTypeID(CFTypeRef cf);
CFTypeID CFStringGetTypeID(void);
CFTypeID CFNumberGetTypeID(void);
CFTypeID CFDictionaryGetTypeID(void);
CFTypeID CFBooleanGetTypeID(void);
CFTypeID CFArrayGetTypeID(void);
CFTypeID CFDataGetTypeID(void);
CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
Boolean CFEqual(CFTypeRef a, CFTypeRef b);

const void* CFDictionaryGetValue(CFDictionaryRef dict, const void* key);
CFIndex CFDictionaryGetCount(CFDictionaryRef dict);
typedef void (*CFDictionaryApplierFunction)(const void* key, const void* value, void* context);
void CFDictionaryApplyFunction(CFDictionaryRef dict, CFDictionaryApplierFunction applier,
                               void* context);

CFIndex CFArrayGetCount(CFArrayRef array);
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
CFIndex CFDataGetLength(CFDataRef data);
const UInt8* CFDataGetBytePtr(CFDataRef data);

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* out);
Boolean CFBooleanGetValue(CFBooleanRef boolean);

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cstr,
                                      CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex size,
                           CFStringEncoding encoding);
CFIndex CFStringGetLength(CFStringRef string);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFStringCompareFlags options);

// A constant string, interned by content and never released.
CFStringRef lumra_sim_constant_string(const char* cstr);
#define CFSTR(cstr) lumra_sim_constant_string("" cstr "")

// ---- CoreGraphics ----
typedef uint32_t CGDirectDisplayID;
typedef int32_t CGError;
#define kCGErrorSuccess ((CGError)0)
#define kCGErrorFailure ((CGError)1000)
#define kCGErrorIllegalArgument ((CGError)1001)
typedef struct CGDisplayMode* CGDisplayModeRef;

CGError CGGetOnlineDisplayList(uint32_t maxDisplays, CGDirectDisplayID* displays,
                               uint32_t* displayCount);
uint32_t CGDisplayVendorNumber(CGDirectDisplayID display);
uint32_t CGDisplayModelNumber(CGDirectDisplayID display);
uint32_t CGDisplaySerialNumber(CGDirectDisplayID display);
uint32_t CGDisplayUnitNumber(CGDirectDisplayID display);
boolean_t CGDisplayIsBuiltin(CGDirectDisplayID display);
CGDisplayModeRef CGDisplayCopyDisplayMode(CGDirectDisplayID display);
size_t CGDisplayModeGetWidth(CGDisplayModeRef mode);
size_t CGDisplayModeGetHeight(CGDisplayModeRef mode);
size_t CGDisplayModeGetPixelWidth(CGDisplayModeRef mode);
size_t CGDisplayModeGetPixelHeight(CGDisplayModeRef mode);
double CGDisplayModeGetRefreshRate(CGDisplayModeRef mode);
void CGDisplayModeRelease(CGDisplayModeRef mode);

// ---- IOKit registry ----
extern const mach_port_t kIOMainPortDefault;
#define kIOServicePlane "IOService"
#define kIORegistryIterateRecursively 0x00000001
#define kIORegistryIterateParents 0x00000002

CFMutableDictionaryRef IOServiceMatching(const char* name);
CFMutableDictionaryRef IORegistryEntryIDMatching(uint64_t entryID);
kern_return_t IOServiceGetMatchingServices(mach_port_t mainPort, CFDictionaryRef matching,
                                           io_iterator_t* existing);
io_service_t IOServiceGetMatchingService(mach_port_t mainPort, CFDictionaryRef matching);
io_object_t IOIteratorNext(io_iterator_t iterator);
kern_return_t IOObjectRelease(io_object_t object);
boolean_t IOObjectConformsTo(io_object_t object, const char* className);
kern_return_t IORegistryEntryGetRegistryEntryID(io_registry_entry_t entry, uint64_t* entryID);
CFTypeRef IORegistryEntrySearchCFProperty(io_registry_entry_t entry, const char* plane,
                                          CFStringRef key, CFAllocatorRef allocator,
                                          IOOptionBits options);
CFTypeRef IORegistryEntryCreateCFProperty(io_registry_entry_t entry, CFStringRef key,
                                          CFAllocatorRef allocator, IOOptionBits options);
kern_return_t IORegistryEntryGetPath(io_registry_entry_t entry, const char* plane,
                                     io_string_t path);
io_registry_entry_t IORegistryEntryCopyFromPath(mach_port_t mainPort, CFStringRef path);
kern_return_t IORegistryEntryGetName(io_registry_entry_t entry, io_name_t name);
kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const char* plane,
                                            io_registry_entry_t* parent);

// ---- IOGraphics: display information and I2C ----
#define kIODisplayOnlyPreferredName 0x00000200
CFDictionaryRef IODisplayCreateInfoDictionary(io_service_t framebuffer, IOOptionBits options);
IOReturn IOFBGetI2CInterfaceCount(io_service_t framebuffer, IOItemCount* count);
IOReturn IOFBCopyI2CInterfaceForBus(io_service_t framebuffer, IOOptionBits bus,
                                    io_service_t* interface);

typedef struct IOI2CConnect* IOI2CConnectRef;

enum {
  kIOI2CNoTransactionType = 0,
  kIOI2CSimpleTransactionType = 1,
  kIOI2CDDCciReplyTransactionType = 2,
  kIOI2CCombinedTransactionType = 3,
  kIOI2CDisplayPortNativeTransactionType = 4
};

#pragma pack(push, 4)
struct IOI2CRequest {
  IOOptionBits sendTransactionType;
  IOOptionBits replyTransactionType;
  uint32_t sendAddress;
  uint32_t replyAddress;
  uint8_t sendSubAddress;
  uint8_t replySubAddress;
  uint8_t reservedA[2];
  uint64_t minReplyDelay;
  IOReturn result;
  IOOptionBits commFlags;
  uint32_t padA;
  uint32_t sendBytes;
  uint32_t reservedB[2];
  uint32_t padB;
  uint32_t replyBytes;
  void (*completion)(struct IOI2CRequest* request);
  vm_address_t sendBuffer;
  vm_address_t replyBuffer;
  uint32_t reservedC[10];
};
#pragma pack(pop)
typedef struct IOI2CRequest IOI2CRequest;

IOReturn IOI2CInterfaceOpen(io_service_t interface, IOOptionBits options, IOI2CConnectRef* connect);
IOReturn IOI2CInterfaceClose(IOI2CConnectRef connect, IOOptionBits options);
IOReturn IOI2CSendRequest(IOI2CConnectRef connect, IOOptionBits options, IOI2CRequest* request);

// ---- Mach time ----
struct mach_timebase_info {
  uint32_t numer;
  uint32_t denom;
};
typedef struct mach_timebase_info mach_timebase_info_data_t;
typedef struct mach_timebase_info* mach_timebase_info_t;
kern_return_t mach_timebase_info(mach_timebase_info_t info);

// ---- Dynamic loader: answers for the two framework paths only ----
#ifndef RTLD_LAZY
#define RTLD_LAZY 0x1
#endif
#ifndef RTLD_LOCAL
#define RTLD_LOCAL 0x4
#endif
void* lumra_sim_dlopen(const char* path, int mode);
void* lumra_sim_dlsym(void* handle, const char* symbol);
int lumra_sim_dlclose(void* handle);

#ifdef __cplusplus
}
#endif
