/* The Corvia Tarn runtime's public C interface (LibLUX). Applications compile against this
 * header and link the runtime client library, LibLUXRT64_1 (LibLUXRT64_1.dll on Windows,
 * LibLUXRT64_1.so on Linux). */
#ifndef LUX_CAPI_H
#define LUX_CAPI_H

#include <stddef.h>
#include <stdint.h>

#if defined(LUX_BUILDING_RUNTIME) && defined(_WIN32)
#define LUX_PUBLIC_FUNCTION(type) __declspec(dllexport) type
#elif defined(LUX_BUILDING_RUNTIME) && defined(__GNUC__)
#define LUX_PUBLIC_FUNCTION(type) __attribute__((visibility("default"))) type
#else
#define LUX_PUBLIC_FUNCTION(type) type
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Versions ---------------------------------------------------------------------------- */

#define LUX_PRODUCT_VERSION 1
#define LUX_MAJOR_VERSION 1
#define LUX_MINOR_VERSION 43
#define LUX_PATCH_VERSION 0
#define LUX_BUILD_NUMBER 0
/* The oldest minor version the runtime still serves. */
#define LUX_MIN_REQUESTABLE_MINOR_VERSION 17

/* ---- Results ----------------------------------------------------------------------------- */

/* 0 or above is success, below 0 an error. */
typedef int32_t luxResult;
#define LUX_SUCCESS(result) ((luxResult)(result) >= 0)
#define LUX_FAILURE(result) (!LUX_SUCCESS(result))

typedef enum luxSuccessType_ {
  luxSuccess = 0,
  /* The call succeeded, but the application is not visible and need not render. */
  luxSuccess_NotVisible = 1000,
} luxSuccessType;

typedef enum luxErrorType_ {
  luxError_MemoryAllocationFailure = -1000,
  luxError_InvalidSession = -1002,
  luxError_Timeout = -1003,
  luxError_NotInitialized = -1004,
  luxError_InvalidParameter = -1005,
  luxError_ServiceError = -1006,
  luxError_NoHmd = -1007,
  luxError_Unsupported = -1009,
  luxError_DeviceUnavailable = -1010,
  luxError_InvalidOperation = -1015,
  luxError_InsufficientArraySize = -1016,

  luxError_Initialize = -3000,
  luxError_LibLoad = -3001,
  luxError_LibVersion = -3002,
  luxError_ServiceConnection = -3003,
  luxError_ServiceVersion = -3004,
  luxError_LibSignCheck = -3021,
  luxError_LibPath = -3022,
  luxError_LibSymbols = -3023,

  luxError_DisplayLost = -6000,
  luxError_TextureSwapChainFull = -6001,
  luxError_TextureSwapChainInvalid = -6002,
} luxErrorType;

#define LUX_ERROR_STRING_SIZE 512

/* The last error of the calling process. */
typedef struct luxErrorInfo_ {
  luxResult Result;
  char ErrorString[LUX_ERROR_STRING_SIZE];
} luxErrorInfo;

/* ---- Basic types ------------------------------------------------------------------------- */

typedef char luxBool;
#define luxFalse 0
#define luxTrue 1

typedef struct luxVector2i_ {
  int x, y;
} luxVector2i;

typedef struct luxSizei_ {
  int w, h;
} luxSizei;

typedef struct luxRecti_ {
  luxVector2i Pos;
  luxSizei Size;
} luxRecti;

typedef struct luxVector2f_ {
  float x, y;
} luxVector2f;

typedef struct luxVector3f_ {
  float x, y, z;
} luxVector3f;

typedef struct luxQuatf_ {
  float x, y, z, w;
} luxQuatf;

typedef struct luxColorf_ {
  float r, g, b, a;
} luxColorf;

/* Orientation and position: seven floats. */
typedef struct luxPosef_ {
  luxQuatf Orientation;
  luxVector3f Position;
} luxPosef;

typedef struct luxPoseStatef_ {
  luxPosef ThePose;
  luxVector3f AngularVelocity;
  luxVector3f LinearVelocity;
  luxVector3f AngularAcceleration;
  luxVector3f LinearAcceleration;
  double TimeInSeconds;
} luxPoseStatef;

/* Tangents of the half-angles of a field of view. */
typedef struct luxFovPort_ {
  float UpTan;
  float DownTan;
  float LeftTan;
  float RightTan;
} luxFovPort;

typedef struct luxGuid_ {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} luxGuid;

/* Locally unique identifier of a graphics adapter. */
typedef struct luxGraphicsLuid_ {
  char Reserved[8];
} luxGraphicsLuid;

/* ---- Initialisation ---------------------------------------------------------------------- */

typedef enum luxInitFlags_ {
  luxInit_Debug = 0x00000001,
  /* RequestedMinorVersion holds the minor version the application was built for. */
  luxInit_RequestVersion = 0x00000004,
  /* The application keeps rendering while the system menu is shown. */
  luxInit_FocusAware = 0x00000020,
  luxInit_WritableBits = 0x00ffffff,
} luxInitFlags;

typedef void (*luxLogCallback)(uintptr_t userData, int level, const char* message);

/* 32 bytes. */
typedef struct luxInitParams_ {
  uint32_t Flags;
  uint32_t RequestedMinorVersion;
  luxLogCallback LogCallback;
  uintptr_t UserData;
  uint32_t ConnectionTimeoutMS;
  uint32_t Reserved;
} luxInitParams;

/* ---- Headset and session ----------------------------------------------------------------- */

typedef struct luxHmdStruct* luxSession;

typedef enum luxHmdType_ {
  luxHmd_None = 0,
  luxHmd_Tarn = 1,
} luxHmdType;

typedef enum luxEyeType_ {
  luxEye_Left = 0,
  luxEye_Right = 1,
  luxEye_Count = 2,
} luxEyeType;

typedef struct luxHmdDesc_ {
  luxHmdType Type;
  char ProductName[64];
  char Manufacturer[64];
  short VendorId;
  short ProductId;
  char SerialNumber[24];
  short FirmwareMajor;
  short FirmwareMinor;
  unsigned int AvailableHmdCaps;
  unsigned int DefaultHmdCaps;
  unsigned int AvailableTrackingCaps;
  unsigned int DefaultTrackingCaps;
  luxFovPort DefaultEyeFov[luxEye_Count];
  luxFovPort MaxEyeFov[luxEye_Count];
  luxSizei Resolution;
  float DisplayRefreshRate;
} luxHmdDesc;

/* What the runtime asks of the application right now. */
typedef struct luxSessionStatus_ {
  luxBool IsVisible;      /* the application is in front and shown on the headset */
  luxBool HmdPresent;     /* a headset is connected */
  luxBool HmdMounted;     /* the headset is worn */
  luxBool DisplayLost;    /* the headset's display is gone (its cable is out); frames fail */
  luxBool ShouldQuit;     /* the user asked the application to quit */
  luxBool ShouldRecenter; /* the user asked for a recenter; see lux_ClearShouldRecenterFlag */
  luxBool OverlayPresent; /* the system's dash is shown over the application in front; it is not
                             visible, but a focus-aware application is drawn behind the dash and
                             keeps rendering */
} luxSessionStatus;

typedef enum luxExtensions_ {
  luxExtension_TextureLayout_Octilinear = 0,
} luxExtensions;

typedef enum luxHmdColorSpace_ {
  luxColorSpace_Unknown = 0,
  luxColorSpace_Unmanaged = 1,
  luxColorSpace_Rec_2020 = 2,
  luxColorSpace_Rec_709 = 3,
  luxColorSpace_P3 = 4,
} luxColorSpace;

typedef struct luxHmdColorDesc_ {
  luxColorSpace ColorSpace;
} luxHmdColorDesc;

/* ---- Tracking ---------------------------------------------------------------------------- */

typedef enum luxTrackingOrigin_ {
  luxTrackingOrigin_EyeLevel = 0,
  luxTrackingOrigin_FloorLevel = 1,
} luxTrackingOrigin;

typedef enum luxStatusBits_ {
  luxStatus_OrientationTracked = 0x0001,
  luxStatus_PositionTracked = 0x0002,
} luxStatusBits;

typedef enum luxTrackedDeviceType_ {
  luxTrackedDevice_None = 0x0000,
  luxTrackedDevice_HMD = 0x0001,
  luxTrackedDevice_LTouch = 0x0002,
  luxTrackedDevice_RTouch = 0x0004,
  luxTrackedDevice_Touch = 0x0006,
} luxTrackedDeviceType;

typedef struct luxTrackingState_ {
  luxPoseStatef HeadPose;
  unsigned int StatusFlags;
  luxPoseStatef HandPoses[2];
  unsigned int HandStatusFlags[2];
  luxPosef CalibratedOrigin;
} luxTrackingState;

typedef struct luxSensorData_ {
  luxVector3f Accelerometer;
  luxVector3f Gyro;
  luxVector3f Magnetometer;
  float Temperature;
  float TimeInSeconds;
} luxSensorData;

typedef struct luxTrackerDesc_ {
  float FrustumHFovInRadians;
  float FrustumVFovInRadians;
  float FrustumNearZInMeters;
  float FrustumFarZInMeters;
} luxTrackerDesc;

typedef struct luxTrackerPose_ {
  unsigned int TrackerFlags;
  luxPosef Pose;
  luxPosef LeveledPose;
} luxTrackerPose;

/* ---- Input and haptics ------------------------------------------------------------------- */

typedef enum luxControllerType_ {
  luxControllerType_None = 0x0000,
  luxControllerType_LTouch = 0x0001,
  luxControllerType_RTouch = 0x0002,
  luxControllerType_Touch = 0x0003,
  luxControllerType_Remote = 0x0004,
} luxControllerType;

typedef struct luxInputState_ {
  double TimeInSeconds;
  unsigned int Buttons;
  unsigned int Touches;
  float IndexTrigger[2];
  float HandTrigger[2];
  luxVector2f Thumbstick[2];
  luxControllerType ControllerType;
} luxInputState;

typedef struct luxTouchHapticsDesc_ {
  int SampleRateHz;
  int SampleSizeInBytes;
  int QueueMinSizeToAvoidStarvation;
  int SubmitMinSamples;
  int SubmitMaxSamples;
  int SubmitOptimalSamples;
} luxTouchHapticsDesc;

typedef struct luxHapticsBuffer_ {
  const void* Samples;
  int SamplesCount;
} luxHapticsBuffer;

typedef struct luxHapticsPlaybackState_ {
  int RemainingQueueSpace;
  int SamplesQueued;
} luxHapticsPlaybackState;

typedef enum luxHybridInputFocusType_ {
  luxHybridInputFocus_None = 0,
  luxHybridInputFocus_Desktop = 1,
} luxHybridInputFocusType;

typedef struct luxHybridInputFocusState_ {
  luxHybridInputFocusType FocusType;
  luxBool HandsVisible;
} luxHybridInputFocusState;

/* ---- Boundary ---------------------------------------------------------------------------- */

typedef enum luxBoundaryType_ {
  luxBoundary_Outer = 0x0001,
  luxBoundary_PlayArea = 0x0100,
} luxBoundaryType;

typedef struct luxBoundaryLookAndFeel_ {
  luxColorf Color;
} luxBoundaryLookAndFeel;

typedef struct luxBoundaryTestResult_ {
  luxBool IsTriggering;
  float ClosestDistance;
  luxVector3f ClosestPoint;
  luxVector3f ClosestPointNormal;
} luxBoundaryTestResult;

/* ---- Textures and layers ----------------------------------------------------------------- */

typedef struct luxTextureSwapChainData* luxTextureSwapChain;
typedef struct luxMirrorTextureData* luxMirrorTexture;

typedef enum luxTextureType_ {
  luxTexture_2D = 0,
  luxTexture_Cube = 2,
} luxTextureType;

typedef enum luxTextureFormat_ {
  LUX_FORMAT_UNKNOWN = 0,
  LUX_FORMAT_R8G8B8A8_UNORM = 4,
  LUX_FORMAT_R8G8B8A8_UNORM_SRGB = 5,
  LUX_FORMAT_B8G8R8A8_UNORM = 6,
  LUX_FORMAT_B8G8R8A8_UNORM_SRGB = 7,
  LUX_FORMAT_D24_UNORM_S8_UINT = 12,
  LUX_FORMAT_D32_FLOAT = 13,
} luxTextureFormat;

typedef struct luxTextureSwapChainDesc_ {
  luxTextureType Type;
  luxTextureFormat Format;
  int ArraySize;
  int Width;
  int Height;
  int MipLevels;
  int SampleCount;
  luxBool StaticImage;
  unsigned int MiscFlags;
  unsigned int BindFlags;
} luxTextureSwapChainDesc;

typedef struct luxMirrorTextureDesc_ {
  luxTextureFormat Format;
  int Width;
  int Height;
  unsigned int MiscFlags;
  unsigned int MirrorOptions;
} luxMirrorTextureDesc;

typedef enum luxLayerType_ {
  luxLayerType_Disabled = 0,
  luxLayerType_EyeFov = 1,
  luxLayerType_EyeFovDepth = 2,
  luxLayerType_Quad = 3,
  /* A quad fixed in front of the viewer: it follows the head, so it is not head-tracked. */
  luxLayerType_HeadLockedQuad = 4,
} luxLayerType;

typedef struct luxLayerHeader_ {
  luxLayerType Type;
  unsigned int Flags;
} luxLayerHeader;

typedef struct luxLayerEyeFov_ {
  luxLayerHeader Header;
  luxTextureSwapChain ColorTexture[luxEye_Count];
  luxRecti Viewport[luxEye_Count];
  luxFovPort Fov[luxEye_Count];
  luxPosef RenderPose[luxEye_Count];
  double SensorSampleTime;
} luxLayerEyeFov;

/* luxLayerType_Quad (placed in the world) and luxLayerType_HeadLockedQuad. */
typedef struct luxLayerQuad_ {
  luxLayerHeader Header;
  luxTextureSwapChain ColorTexture;
  luxRecti Viewport;
  luxPosef QuadPoseCenter;
  luxVector2f QuadSize;
} luxLayerQuad;

typedef struct luxViewScaleDesc_ {
  luxPosef HmdToEyePose[luxEye_Count];
  float HmdSpaceToWorldScaleInMeters;
} luxViewScaleDesc;

/* Per-eye rendering information; HmdToEyePose is the eye's offset from the head. */
typedef struct luxEyeRenderDesc_ {
  luxEyeType Eye;
  luxFovPort Fov;
  luxRecti DistortedViewport;
  luxVector2f PixelsPerTanAngleAtCenter;
  luxPosef HmdToEyePose;
} luxEyeRenderDesc;

typedef enum luxFovStencilType_ {
  luxFovStencil_HiddenArea = 0,
  luxFovStencil_VisibleArea = 1,
} luxFovStencilType;

typedef struct luxFovStencilDesc_ {
  luxFovStencilType StencilType;
  uint32_t StencilFlags;
  luxEyeType Eye;
  luxFovPort FovPort;
  luxQuatf HmdToEyeRotation;
} luxFovStencilDesc;

typedef struct luxFovStencilMeshBuffer_ {
  int AllocVertexCount;
  int UsedVertexCount;
  luxVector2f* VertexBuffer;
  int AllocIndexCount;
  int UsedIndexCount;
  uint16_t* IndexBuffer;
} luxFovStencilMeshBuffer;

/* Radial distortion of one eye's lens. */
typedef struct luxDistortionDesc_ {
  luxVector2f LensCenter;
  float Coefficients[6];
} luxDistortionDesc;

/* ---- Performance, cameras, desktop windows ----------------------------------------------- */

typedef struct luxPerfStats_ {
  int FrameStatsCount;
  luxBool AnyFrameStatsDropped;
  float AdaptiveGpuPerformanceScale;
  int AppDroppedFrameCount;
  int CompositorDroppedFrameCount;
  int VisibleProcessId;
} luxPerfStats;

#define LUX_EXTERNAL_CAMERA_NAME_SIZE 32

typedef struct luxCameraIntrinsics_ {
  double LastChangedTime;
  luxFovPort FOVPort;
  float VirtualNearPlaneDistanceMeters;
  float VirtualFarPlaneDistanceMeters;
  luxSizei ImageSensorPixelResolution;
} luxCameraIntrinsics;

typedef struct luxCameraExtrinsics_ {
  double LastChangedTimeSeconds;
  unsigned int CameraStatusFlags;
  luxPosef RelativePose;
} luxCameraExtrinsics;

typedef struct luxExternalCamera_ {
  char Name[LUX_EXTERNAL_CAMERA_NAME_SIZE];
  luxCameraIntrinsics Intrinsics;
  luxCameraExtrinsics Extrinsics;
} luxExternalCamera;

typedef struct luxDesktopWindowData* luxDesktopWindowHandle;

typedef struct luxDesktopWindowDesc_ {
  luxDesktopWindowHandle Window;
  luxPosef Pose;
  luxVector2f Size;
} luxDesktopWindowDesc;

#define LUX_EXTENSION_NAME_SIZE 128

typedef struct luxExtensionProperties_ {
  char ExtensionName[LUX_EXTENSION_NAME_SIZE];
  uint32_t ExtensionVersion;
} luxExtensionProperties;

#define LUX_AUDIO_MAX_DEVICE_STR_SIZE 128

/* ---- Functions --------------------------------------------------------------------------- */

/* Connects to the runtime service. `params` may be null for the defaults. */
LUX_PUBLIC_FUNCTION(luxResult) lux_Initialize(const luxInitParams* params);
LUX_PUBLIC_FUNCTION(void) lux_Shutdown(void);
LUX_PUBLIC_FUNCTION(const char*) lux_GetVersionString(void);
LUX_PUBLIC_FUNCTION(void) lux_GetLastErrorInfo(luxErrorInfo* errorInfo);
LUX_PUBLIC_FUNCTION(luxHmdDesc) lux_GetHmdDesc(luxSession session);
LUX_PUBLIC_FUNCTION(unsigned int) lux_GetTrackerCount(luxSession session);
LUX_PUBLIC_FUNCTION(luxTrackerDesc) lux_GetTrackerDesc(luxSession session, unsigned int index);
LUX_PUBLIC_FUNCTION(luxResult) lux_Create(luxSession* outSession, luxGraphicsLuid* outLuid);
LUX_PUBLIC_FUNCTION(void) lux_Destroy(luxSession session);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetSessionStatus(luxSession session, luxSessionStatus* outStatus);
LUX_PUBLIC_FUNCTION(luxResult)
lux_IsExtensionSupported(luxSession session, luxExtensions extension, luxBool* outSupported);
LUX_PUBLIC_FUNCTION(luxResult) lux_EnableExtension(luxSession session, luxExtensions extension);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SetTrackingOriginType(luxSession session, luxTrackingOrigin origin);
LUX_PUBLIC_FUNCTION(luxTrackingOrigin) lux_GetTrackingOriginType(luxSession session);
LUX_PUBLIC_FUNCTION(luxResult) lux_RecenterTrackingOrigin(luxSession session);
LUX_PUBLIC_FUNCTION(luxResult) lux_SpecifyTrackingOrigin(luxSession session, luxPosef originPose);
LUX_PUBLIC_FUNCTION(void) lux_ClearShouldRecenterFlag(luxSession session);
LUX_PUBLIC_FUNCTION(luxTrackingState)
lux_GetTrackingState(luxSession session, double absTime, luxBool latencyMarker);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetDevicePoses(luxSession session, const luxTrackedDeviceType* deviceTypes, int deviceCount,
                   double absTime, luxPoseStatef* outDevicePoses);
LUX_PUBLIC_FUNCTION(luxTrackerPose) lux_GetTrackerPose(luxSession session, unsigned int index);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetInputState(luxSession session, luxControllerType controllerType, luxInputState* outState);
LUX_PUBLIC_FUNCTION(unsigned int) lux_GetConnectedControllerTypes(luxSession session);
LUX_PUBLIC_FUNCTION(luxSizei)
lux_GetFovTextureSize(luxSession session, luxEyeType eye, luxFovPort fov,
                      float pixelsPerDisplayPixel);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetFovStencil(luxSession session, const luxFovStencilDesc* desc,
                  luxFovStencilMeshBuffer* meshBuffer);
LUX_PUBLIC_FUNCTION(luxResult) lux_WaitToBeginFrame(luxSession session, long long frameIndex);
LUX_PUBLIC_FUNCTION(luxResult) lux_BeginFrame(luxSession session, long long frameIndex);
LUX_PUBLIC_FUNCTION(luxResult)
lux_EndFrame(luxSession session, long long frameIndex, const luxViewScaleDesc* viewScaleDesc,
             luxLayerHeader const* const* layerPtrList, unsigned int layerCount);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SubmitFrame2(luxSession session, long long frameIndex, const luxViewScaleDesc* viewScaleDesc,
                 luxLayerHeader const* const* layerPtrList, unsigned int layerCount);
LUX_PUBLIC_FUNCTION(luxEyeRenderDesc)
lux_GetRenderDesc2(luxSession session, luxEyeType eye, luxFovPort fov);
LUX_PUBLIC_FUNCTION(double) lux_GetPredictedDisplayTime(luxSession session, long long frameIndex);
/* Seconds on the runtime's clock; only differences have a meaning. */
LUX_PUBLIC_FUNCTION(double) lux_GetTimeInSeconds(void);

/* Properties. A null session addresses the runtime itself. The setters return luxTrue when the
 * value was taken. */
LUX_PUBLIC_FUNCTION(luxBool)
lux_GetBool(luxSession session, const char* propertyName, luxBool defaultValue);
LUX_PUBLIC_FUNCTION(luxBool)
lux_SetBool(luxSession session, const char* propertyName, luxBool value);
LUX_PUBLIC_FUNCTION(int) lux_GetInt(luxSession session, const char* propertyName, int defaultValue);
LUX_PUBLIC_FUNCTION(luxBool) lux_SetInt(luxSession session, const char* propertyName, int value);
LUX_PUBLIC_FUNCTION(float)
lux_GetFloat(luxSession session, const char* propertyName, float defaultValue);
LUX_PUBLIC_FUNCTION(luxBool)
lux_SetFloat(luxSession session, const char* propertyName, float value);
LUX_PUBLIC_FUNCTION(unsigned int)
lux_GetFloatArray(luxSession session, const char* propertyName, float values[],
                  unsigned int valuesCapacity);
LUX_PUBLIC_FUNCTION(luxBool)
lux_SetFloatArray(luxSession session, const char* propertyName, const float values[],
                  unsigned int valuesSize);
/* The returned text stays valid until the next lux_GetString call of the calling thread. */
LUX_PUBLIC_FUNCTION(const char*)
lux_GetString(luxSession session, const char* propertyName, const char* defaultValue);
LUX_PUBLIC_FUNCTION(luxBool)
lux_SetString(luxSession session, const char* propertyName, const char* value);

LUX_PUBLIC_FUNCTION(int) lux_TraceMessage(int level, const char* message);
/* Names the engine and SDK the application was built with, as "key value" lines. */
LUX_PUBLIC_FUNCTION(luxResult) lux_IdentifyClient(const char* identity);

LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateTextureSwapChainGL(luxSession session, const luxTextureSwapChainDesc* desc,
                             luxTextureSwapChain* outTextureSwapChain);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateMirrorTextureGL(luxSession session, const luxMirrorTextureDesc* desc,
                          luxMirrorTexture* outMirrorTexture);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateMirrorTextureWithOptionsGL(luxSession session, const luxMirrorTextureDesc* desc,
                                     luxMirrorTexture* outMirrorTexture);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetTextureSwapChainBufferGL(luxSession session, luxTextureSwapChain chain, int index,
                                unsigned int* outTextureId);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetMirrorTextureBufferGL(luxSession session, luxMirrorTexture mirrorTexture,
                             unsigned int* outTextureId);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetTextureSwapChainLength(luxSession session, luxTextureSwapChain chain, int* outLength);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetTextureSwapChainCurrentIndex(luxSession session, luxTextureSwapChain chain, int* outIndex);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetTextureSwapChainDesc(luxSession session, luxTextureSwapChain chain,
                            luxTextureSwapChainDesc* outDesc);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CommitTextureSwapChain(luxSession session, luxTextureSwapChain chain);
LUX_PUBLIC_FUNCTION(void)
lux_DestroyTextureSwapChain(luxSession session, luxTextureSwapChain chain);
LUX_PUBLIC_FUNCTION(void)
lux_DestroyMirrorTexture(luxSession session, luxMirrorTexture mirrorTexture);

/* Stores the address of the runtime's internal function `name` in *outFunction. */
LUX_PUBLIC_FUNCTION(luxResult) lux_Lookup(const char* name, void** outFunction);

LUX_PUBLIC_FUNCTION(luxTouchHapticsDesc)
lux_GetTouchHapticsDesc(luxSession session, luxControllerType controllerType);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SetControllerVibration(luxSession session, luxControllerType controllerType, float frequency,
                           float amplitude);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SubmitControllerVibration(luxSession session, luxControllerType controllerType,
                              const luxHapticsBuffer* buffer);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetControllerVibrationState(luxSession session, luxControllerType controllerType,
                                luxHapticsPlaybackState* outState);

LUX_PUBLIC_FUNCTION(luxResult)
lux_TestBoundary(luxSession session, luxTrackedDeviceType deviceBitmask,
                 luxBoundaryType boundaryType, luxBoundaryTestResult* outResult);
LUX_PUBLIC_FUNCTION(luxResult)
lux_TestBoundaryPoint(luxSession session, const luxVector3f* point, luxBoundaryType boundaryType,
                      luxBoundaryTestResult* outResult);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SetBoundaryLookAndFeel(luxSession session, const luxBoundaryLookAndFeel* lookAndFeel);
LUX_PUBLIC_FUNCTION(luxResult) lux_ResetBoundaryLookAndFeel(luxSession session);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetBoundaryGeometry(luxSession session, luxBoundaryType boundaryType,
                        luxVector3f* outFloorPoints, int* outFloorPointsCount);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetBoundaryDimensions(luxSession session, luxBoundaryType boundaryType,
                          luxVector3f* outDimensions);
LUX_PUBLIC_FUNCTION(luxResult) lux_GetBoundaryVisible(luxSession session, luxBool* outIsVisible);
LUX_PUBLIC_FUNCTION(luxResult) lux_RequestBoundaryVisible(luxSession session, luxBool visible);

LUX_PUBLIC_FUNCTION(luxResult) lux_GetPerfStats(luxSession session, luxPerfStats* outStats);
LUX_PUBLIC_FUNCTION(luxResult) lux_ResetPerfStats(luxSession session);

LUX_PUBLIC_FUNCTION(luxResult)
lux_GetExternalCameras(luxSession session, luxExternalCamera* cameras,
                       unsigned int* inoutCameraCount);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SetExternalCameraProperties(luxSession session, const char* name,
                                const luxCameraIntrinsics* intrinsics,
                                const luxCameraExtrinsics* extrinsics);

/* Direct3D: `device` is an ID3D11Device or ID3D12CommandQueue, `iid` a COM interface id. */
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateTextureSwapChainDX(luxSession session, void* device, const luxTextureSwapChainDesc* desc,
                             luxTextureSwapChain* outTextureSwapChain);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateMirrorTextureDX(luxSession session, void* device, const luxMirrorTextureDesc* desc,
                          luxMirrorTexture* outMirrorTexture);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateMirrorTextureWithOptionsDX(luxSession session, void* device,
                                     const luxMirrorTextureDesc* desc,
                                     luxMirrorTexture* outMirrorTexture);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetTextureSwapChainBufferDX(luxSession session, luxTextureSwapChain chain, int index,
                                const void* iid, void** outBuffer);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetMirrorTextureBufferDX(luxSession session, luxMirrorTexture mirrorTexture, const void* iid,
                             void** outBuffer);

/* The headset's audio devices. */
LUX_PUBLIC_FUNCTION(luxResult) lux_GetAudioDeviceOutWaveId(unsigned int* outDeviceId);
LUX_PUBLIC_FUNCTION(luxResult) lux_GetAudioDeviceInWaveId(unsigned int* outDeviceId);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetAudioDeviceOutGuidStr(char outDeviceId[LUX_AUDIO_MAX_DEVICE_STR_SIZE]);
LUX_PUBLIC_FUNCTION(luxResult) lux_GetAudioDeviceOutGuid(luxGuid* outDeviceGuid);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetAudioDeviceInGuidStr(char outDeviceId[LUX_AUDIO_MAX_DEVICE_STR_SIZE]);
LUX_PUBLIC_FUNCTION(luxResult) lux_GetAudioDeviceInGuid(luxGuid* outDeviceGuid);

/* Vulkan: handles are passed as void* (dispatchable) or uint64_t (non-dispatchable). */
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetInstanceExtensionsVk(luxGraphicsLuid luid, char* extensionNames,
                            uint32_t* inoutExtensionNamesSize);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetDeviceExtensionsVk(luxGraphicsLuid luid, char* extensionNames,
                          uint32_t* inoutExtensionNamesSize);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetSessionPhysicalDeviceVk(luxSession session, luxGraphicsLuid luid, void* instance,
                               void** outPhysicalDevice);
LUX_PUBLIC_FUNCTION(luxResult) lux_SetSynchronizationQueueVk(luxSession session, void* queue);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateTextureSwapChainVk(luxSession session, void* device, const luxTextureSwapChainDesc* desc,
                             luxTextureSwapChain* outTextureSwapChain);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetTextureSwapChainBufferVk(luxSession session, luxTextureSwapChain chain, int index,
                                uint64_t* outImage);
LUX_PUBLIC_FUNCTION(luxResult)
lux_CreateMirrorTextureWithOptionsVk(luxSession session, void* device,
                                     const luxMirrorTextureDesc* desc,
                                     luxMirrorTexture* outMirrorTexture);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetMirrorTextureBufferVk(luxSession session, luxMirrorTexture mirrorTexture,
                             uint64_t* outImage);

LUX_PUBLIC_FUNCTION(luxTrackingState)
lux_GetTrackingStateWithSensorData(luxSession session, double absTime, luxBool latencyMarker,
                                   luxSensorData* outSensorData);

/* Desktop windows shown inside the headset. */
LUX_PUBLIC_FUNCTION(luxResult)
lux_InitDesktopWindow(luxSession session, luxDesktopWindowHandle* outWindow);
LUX_PUBLIC_FUNCTION(luxResult)
lux_ShowDesktopWindow(luxSession session, const luxDesktopWindowDesc* desc);
LUX_PUBLIC_FUNCTION(luxResult)
lux_HideDesktopWindow(luxSession session, luxDesktopWindowHandle window);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetHybridInputFocus(luxSession session, luxControllerType controllerType,
                        luxHybridInputFocusState* outState);
LUX_PUBLIC_FUNCTION(luxResult) lux_ShowAvatarHands(luxSession session, luxBool showHands);
LUX_PUBLIC_FUNCTION(luxResult) lux_ShowKeyboard(void);
LUX_PUBLIC_FUNCTION(luxResult) lux_EnableHybridRaycast(void);

LUX_PUBLIC_FUNCTION(luxResult)
lux_EnumerateInstanceExtensionProperties(const char* layerName, uint32_t propertyCapacity,
                                         uint32_t* outPropertyCount,
                                         luxExtensionProperties* properties);
LUX_PUBLIC_FUNCTION(luxResult)
lux_GetInstanceProcAddr(luxSession session, const char* name, void (**outFunction)(void));

LUX_PUBLIC_FUNCTION(luxHmdColorDesc) lux_GetHmdColorDesc(luxSession session);
LUX_PUBLIC_FUNCTION(luxResult)
lux_SetClientColorDesc(luxSession session, const luxHmdColorDesc* colorDesc);
LUX_PUBLIC_FUNCTION(luxResult)
lux_QueryDistortion(luxSession session, luxEyeType eye, luxDistortionDesc* outDesc);

/* Tells the runtime which SDK build the client was compiled with. */
LUX_PUBLIC_FUNCTION(luxResult)
lux_ReportClientInfo(uint32_t compilerVersion, uint32_t productVersion, uint32_t majorVersion,
                     uint32_t minorVersion, uint32_t patchVersion, uint32_t buildNumber);

/* ---- Layout of the records the runtime shares with applications, in C and C++ alike ------ */

#ifdef __cplusplus
#define LUX_STATIC_ASSERT(condition) static_assert(condition, #condition)
#else
#define LUX_STATIC_ASSERT(condition) _Static_assert(condition, #condition)
#endif
LUX_STATIC_ASSERT(sizeof(luxErrorInfo) == 516 && offsetof(luxErrorInfo, ErrorString) == 4);
LUX_STATIC_ASSERT(sizeof(luxInitParams) == 32);
LUX_STATIC_ASSERT(sizeof(luxGraphicsLuid) == 8);
LUX_STATIC_ASSERT(sizeof(luxPosef) == 7 * sizeof(float));
LUX_STATIC_ASSERT(sizeof(luxSessionStatus) == 7 && offsetof(luxSessionStatus, IsVisible) == 0);
LUX_STATIC_ASSERT(offsetof(luxEyeRenderDesc, HmdToEyePose) == 44);

#ifdef __cplusplus
}
#endif

#endif /* LUX_CAPI_H */
