// The Cocoa view factory that Audio Unit hosts find through the CocoaUI property. macOS only.
// Main thread; no lock.
#import <AudioUnit/AUCocoaUIView.h>
#import <Cocoa/Cocoa.h>

#include "au/AUViewFactories.h"
#include "au/IPlugAU.h"
#include "engine/TarvexParams.h"

@interface Tarvex_View : NSObject <AUCocoaUIBase>
{
  IPlugAU* mPlug; // the plug-in object of the last Audio Unit served
}
- (id)init;
- (NSView*)uiViewForAudioUnit:(AudioUnit)audioUnit withSize:(NSSize)preferredSize;
- (unsigned)interfaceVersion;
- (NSString*)description;
@end

@implementation Tarvex_View

- (id)init
{
  TraceHook("Tarvex_View init", __LINE__, "%s", "");
  self = [super init];
  mPlug = nullptr;
  return self;
}

- (NSView*)uiViewForAudioUnit:(AudioUnit)audioUnit withSize:(NSSize)preferredSize
{
  (void)preferredSize; // the editor has its fixed size
  void* view = OpenCocoaViewForAudioUnit(audioUnit, static_cast<OSType>(kTarvexUniqueID),
                                         static_cast<OSType>(kTarvexMakerID), &mPlug);
  return (__bridge NSView*)view;
}

- (unsigned)interfaceVersion
{
  return 0;
}

- (NSString*)description
{
  return @"Tarvex View";
}

@end
