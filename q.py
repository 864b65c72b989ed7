import pyatspi, time, sys
from gi.repository import Atspi
def find():
    for app in pyatspi.Registry.getDesktop(0):
        if app and app.name == "Orvel File Rename":
            for w in app:
                if w and w.name == "Orvel File Rename": return w
while True:
    w = find()
    if w: break
    time.sleep(0.1)
w.get_application().set_cache_mask(Atspi.Cache.NONE)
print("found", flush=True)
open("/tmp/dbg/ready","w").close()
while not __import__('os').path.exists("/tmp/dbg/go"): time.sleep(0.01)
t=time.monotonic()
print("name", w.name, time.monotonic()-t, flush=True)
t=time.monotonic()
print("name", w.name, time.monotonic()-t, flush=True)
