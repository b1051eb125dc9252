// The configuration keys and message ids that the launcher reads, by
// name.  Every value of the configuration block is text; the accessors of
// ConfigTables.h read it as a narrow string, a wide string or an integer.
#pragma once

// Configuration keys.
constexpr int kServiceNameKey = 101;
constexpr int kErrorRedirectKey = 102;
constexpr int kErrorFileKey = 103;
constexpr int kOutputRedirectKey = 104;
constexpr int kOutputFileKey = 105;
constexpr int kFlag106Key = 106;
constexpr int kExecutableTypeKey = 107;
constexpr int kSplashKey = 108;
constexpr int kClassPathKey = 121;
constexpr int kMainClassKey = 122;
constexpr int kVmOptionsKey = 123;
constexpr int kFixedArgumentsKey = 124;
constexpr int kJArgumentsKey = 125;
constexpr int kMinimumVersionKey = 126;
constexpr int kMaximumVersionKey = 127;
constexpr int kSearchSequenceKey = 128;
constexpr int kAllowPreReleaseKey = 130;
constexpr int kJdkRequiredKey = 131;
constexpr int kModulePathKey = 132;
constexpr int kModuleModeKey = 133;
constexpr int kWorkingDirectoryKey = 146;
constexpr int kDependenciesKey = 149;
constexpr int kPreferredSubdirectoryKey = 152;
constexpr int kDllDirectoriesKey = 154;
constexpr int kGlobalNameKey = 158;
constexpr int kApplicationIdKey = 160;
constexpr int kSplashFlagKey = 163;
constexpr int kTvrJresOnlyKey = 165;
constexpr int kDefaultOptionsFileKey = 166;
constexpr int kFlavourKey = 2001;
constexpr int kFileCountKey = 2002;
constexpr int kFileNamesKey = 2003;
constexpr int kApplicationDirKey = 10003;
constexpr int kNativeLibraryKey = 10004;
constexpr int kSingleInstanceKey = 10005;
constexpr int kToFrontKey = 10007;
constexpr int kVersionLinesKey = 10200;

// Messages shown to the user (texts of the configuration block).
constexpr int kCaptionMessage = 1000;
constexpr int kMissingEntryMessage = 1006;
constexpr int kMissingVariableMessage = 1008;
constexpr int kInternalErrorMessage = 1009;
constexpr int kMainClassMissingMessage = 1010;
constexpr int kMainMethodMissingMessage = 1011;
constexpr int kNoTempDirMessage = 1015;
constexpr int kDescriptionMessage = 20017;
