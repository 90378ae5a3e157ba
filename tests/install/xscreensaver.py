#!/usr/bin/env python3
"""Both savers as hacks of the real XScreenSaver daemon on a private Xvfb.

    tests/install/xscreensaver.py BUILD_DIR            the install tree in a temporary prefix
    tests/install/xscreensaver.py BUILD_DIR --package  the Debian package, installed with dpkg

For each saver a daemon is started with a ~/.xscreensaver naming both savers and selecting that
one; `xscreensaver-command -activate` must start it from the installed files and show its scene:
the pixels the saver's own headless run keeps steady at that screen size show their colours in a
picture of the screen. `-deactivate` must end it within 200 ms, on the monotonic clock from the
command's return to the hack's end, and leave no process behind.

The daemon refuses to start hacks as root: run as root, it runs as an unprivileged user made for
the run and removed after. The package mode needs root; it puts back whatever lumivale package
was installed before, or removes the package when none was. Exit status 77 is a skip.
"""
import contextlib
import ctypes
import fcntl
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import uuid

SKIP = 77
WIDTH, HEIGHT = 640, 480
SAVERS = ["lumivale-ideas", "lumivale"]
END_LIMIT = 0.2
SHOW_LIMIT = 20.0
# Now and then the moving sprites of the real run cover some of the steady pixels.
MATCH_NEEDED = 0.8
# Headless times, spread over more than one loop of every animation, whose common pixels are
# the scene's still parts.
REFERENCE_TIMES = [0.37 + 1.23 * k for k in range(10)]
PACKAGE_LOCK = "/var/lock/lumivale-package-test.lock"

failures = []


def fail(message):
    print("FAILED: " + message)
    failures.append(message)


def skip(message):
    print("skipped: " + message)
    sys.exit(SKIP)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def raw_rgb(picture):
    """The pixels of a PNG or an X window dump as RGB bytes, through ffmpeg."""
    done = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", picture, "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"], capture_output=True, check=True)
    return done.stdout


def steady_pixels(program, work):
    """The lit pixels that show the same colour at every reference time: {index: rgb}."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    frames = []
    for seconds in REFERENCE_TIMES:
        shot = os.path.join(work, "reference.png")
        run([program, "--headless", f"{WIDTH}x{HEIGHT}", "--duration", f"{seconds:.2f}",
             "--snapshot", shot], env=env, check=True)
        frames.append(raw_rgb(shot))
    first = frames[0]
    steady = {}
    for i in range(0, len(first), 3):
        colour = first[i:i + 3]
        if colour != b"\0\0\0" and all(f[i:i + 3] == colour for f in frames[1:]):
            steady[i] = colour
    return steady


def matching_share(picture, steady):
    return sum(1 for i, colour in steady.items() if picture[i:i + 3] == colour) / len(steady)


def screenshot(display, work):
    dump = os.path.join(work, "screen.xwd")
    if run(["xwd", "-display", display, "-root", "-silent", "-out", dump]).returncode != 0:
        return b""
    return raw_rgb(dump)


def process_ids():
    return [int(p) for p in os.listdir("/proc") if p.isdigit()]


def alive(pid):
    """Running, as opposed to gone or ended but not yet reaped."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def marked_processes(marker):
    """The running processes that carry `marker` in their environment."""
    found = []
    for pid in process_ids():
        try:
            with open(f"/proc/{pid}/environ", "rb") as environ:
                if marker.encode() in environ.read().split(b"\0") and alive(pid):
                    found.append(pid)
        except OSError:
            pass
    return found


def executable(pid):
    try:
        return os.readlink(f"/proc/{pid}/exe")
    except OSError:
        return ""


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as line:
            return line.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except OSError:
        return "?"


def reap():
    """Waits for the children that ended, among them hacks orphaned when their host exits."""
    try:
        while os.waitpid(-1, os.WNOHANG)[0] > 0:
            pass
    except ChildProcessError:
        pass


def end_process(process, limit=5.0):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(limit)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class User:
    """Who the daemon runs as: the caller, or as root an unprivileged user made for the run."""

    def __init__(self, home):
        self.name = None
        self.prefix = []
        if os.geteuid() != 0:
            os.makedirs(home)
            return
        if shutil.which("useradd") is None or shutil.which("setpriv") is None:
            skip("run as root, XScreenSaver needs an unprivileged user, and useradd or setpriv "
                 "is missing to make one")
        name = "lvx" + uuid.uuid4().hex[:12]
        # Another program may hold the lock on the user database for a moment.
        for _ in range(25):
            made = run(["useradd", "--system", "--no-create-home", "--home-dir", home,
                        "--shell", "/usr/sbin/nologin", name])
            if made.returncode == 0:
                break
            time.sleep(0.2)
        else:
            skip("run as root, XScreenSaver needs an unprivileged user, and useradd could not "
                 "make one: " + made.stderr.strip())
        self.name = name
        entry = pwd.getpwnam(name)
        os.makedirs(home, mode=0o700)
        os.chown(home, entry.pw_uid, entry.pw_gid)
        self.owner = (entry.pw_uid, entry.pw_gid)
        self.prefix = ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}",
                       "--clear-groups", "--"]

    def own(self, path):
        if self.name:
            os.chown(path, *self.owner)

    def remove(self):
        # The user's last processes may still be on their way out.
        if self.name and not poll(lambda: run(["userdel", self.name]).returncode == 0, 5, 0.2):
            fail("could not remove the user " + self.name)


def start_display():
    """A private Xvfb; it picks a free display number and says which."""
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0",
                               f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    number = server.stdout.readline().strip()
    if not number.isdigit():
        end_process(server)
        skip("Xvfb did not start")
    return server, ":" + number


def write_settings(home, user, commands, selected):
    settings = os.path.join(home, ".xscreensaver")
    programs = " \\n\\\n".join(commands)
    # The daemon runs when the desktop is idle; on the test machine other tests keep the cores
    # busy, and a hack at its usual nice level 10 would wait for them to end.
    with open(settings, "w") as out:
        out.write(f"mode: one\nselected: {selected}\ntimeout: 1:00:00\ncycle: 0\nlock: False\n"
                  f"fade: False\nunfade: False\nsplash: False\ndpmsEnabled: False\nnice: 0\n"
                  f"programs: {programs} \\n\n")
    user.own(settings)


def daemon_environment(home, display, marker):
    env = {"HOME": home, "PATH": "/usr/local/bin:/usr/bin:/bin", "DISPLAY": display,
           # No session bus on the private display; the address keeps D-Bus from starting one.
           "DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent/bus"}
    env.update({k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")})
    name, value = marker.split("=", 1)
    env[name] = value
    return env


def command(display, *args):
    return run(["xscreensaver-command", "-display", display, *args])


def poll(find, limit, step=0.05):
    """The first result of find() that is not empty, or its last once `limit` seconds passed."""
    deadline = time.monotonic() + limit
    while True:
        found = find()
        if found or time.monotonic() >= deadline:
            return found
        time.sleep(step)


def run_saver(name, program, headless_program, env, user, display, work, marker):
    """Activates the selected saver under a fresh daemon and deactivates it again."""
    steady = steady_pixels(headless_program, work)
    if len(steady) < 1000:
        fail(f"{name}: its headless run keeps only {len(steady)} pixels steady")
        return
    log_path = os.path.join(work, f"{name}-daemon.log")
    with open(log_path, "w") as log:
        daemon = subprocess.Popen(user.prefix + ["xscreensaver", "-no-splash", "-verbose"],
                                  env=env, stdout=log, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL)
    try:
        if not poll(lambda: command(display, "-time").returncode == 0, 10):
            fail(f"{name}: the daemon did not start")
            return
        activated = command(display, "-activate")
        if activated.returncode != 0:
            fail(f"{name}: -activate failed: {activated.stderr}")
            return
        hacks = poll(lambda: [p for p in marked_processes(marker) if executable(p) == program],
                     10, 0.01)
        if not hacks:
            fail(f"{name}: the daemon did not start {program}")
            return
        hack = hacks[0]

        share = 0.0
        deadline = time.monotonic() + SHOW_LIMIT
        while share < MATCH_NEEDED and time.monotonic() < deadline and alive(hack):
            picture = screenshot(display, work)
            if len(picture) == WIDTH * HEIGHT * 3:
                share = max(share, matching_share(picture, steady))
        print(f"{name}: {share:.1%} of the {len(steady)} pixels its headless run keeps steady "
              "show their colour on the screen")
        if not alive(hack):
            fail(f"{name}: the saver ended while the screen was blanked")
            return
        if share < MATCH_NEEDED:
            fail(f"{name}: the screen does not show the scene")

        # The daemon has been told once the command returns; the time from its start adds the
        # client's own start-up.
        started = time.monotonic()
        deactivated = command(display, "-deactivate")
        returned = time.monotonic()
        poll(lambda: not alive(hack), 3, 0.0005)
        ended = time.monotonic()
        if deactivated.returncode != 0:
            fail(f"{name}: -deactivate failed: {deactivated.stderr}")
        print(f"{name}: ended {(ended - returned) * 1000:.1f} ms after xscreensaver-command "
              f"-deactivate returned, {(ended - started) * 1000:.1f} ms after it started")
        if alive(hack):
            fail(f"{name}: still running 3 s after -deactivate")
        elif ended - returned > END_LIMIT:
            fail(f"{name}: ended {(ended - returned) * 1000:.0f} ms after -deactivate")

        # The host the daemon ran the saver under ends with it; only the daemon stays.
        def others():
            return [p for p in marked_processes(marker) if p != daemon.pid]

        poll(lambda: not others(), 2)
        for pid in others():
            fail(f"{name}: left behind: {pid} {command_line(pid)}")
    finally:
        command(display, "-exit")
        try:
            daemon.wait(5)
        except subprocess.TimeoutExpired:
            end_process(daemon)
        reap()
        with open(log_path) as log:
            for line in log:
                if re.search(r"Sanitizer|runtime error", line) or line.startswith(name + ": "):
                    fail(f"{name} said: {line.strip()}")


@contextlib.contextmanager
def termination_held():
    """A SIGTERM waits: dpkg ended halfway would leave the package system half configured."""
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_UNBLOCK, {signal.SIGTERM})


def installed_state():
    shown = run(["dpkg-query", "-W", "-f=${Status} ${Version}", "lumivale"])
    return shown.stdout if shown.stdout.startswith("install ok installed") else None


def repack_installed(folder):
    """The installed lumivale package rebuilt from its files, to put back after the test."""
    root = os.path.join(folder, "root")
    os.makedirs(os.path.join(root, "DEBIAN"))
    listed = run(["dpkg-query", "-L", "lumivale"], check=True).stdout.split("\n")
    for path in filter(None, listed):
        if os.path.isdir(path) and not os.path.islink(path):
            os.makedirs(root + path, exist_ok=True)
        elif os.path.lexists(path):
            os.makedirs(os.path.dirname(root + path), exist_ok=True)
            shutil.copy2(path, root + path, follow_symlinks=False)
    fields = ["Package", "Version", "Architecture", "Maintainer", "Installed-Size", "Depends",
              "Suggests", "Section", "Priority", "Description"]
    control = run(["dpkg-query", "-W", "-f=" + "".join(f"{f}: ${{{f}}}\\n" for f in fields),
                   "lumivale"], check=True).stdout
    with open(os.path.join(root, "DEBIAN", "control"), "w") as out:
        out.write("".join(line + "\n" for line in control.splitlines() if not line.endswith(": ")))
    info = "/var/lib/dpkg/info/lumivale."
    for part in ["md5sums", "conffiles", "preinst", "postinst", "prerm", "postrm"]:
        if os.path.exists(info + part):
            shutil.copy2(info + part, os.path.join(root, "DEBIAN", part))
    deb = os.path.join(folder, "lumivale-before.deb")
    run(["dpkg-deb", "--root-owner-group", "--build", root, deb], check=True)
    return deb


def install_package(build, work):
    """Builds and installs the package; what puts the machine back as it was, None when there
    was no package to install."""
    made = run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-G", "DEB",
                "-B", os.path.join(work, "package")])
    debs = [f for f in os.listdir(os.path.join(work, "package")) if f.endswith(".deb")]
    if made.returncode != 0 or not debs:
        fail("cpack made no package: " + made.stderr)
        return None
    before = installed_state()
    saved = repack_installed(os.path.join(work, "before")) if before else None
    installed = run(["dpkg", "-i", os.path.join(work, "package", debs[0])])
    if installed.returncode != 0:
        fail("dpkg -i failed: " + installed.stderr)

    def put_back():
        if saved:
            restored = run(["dpkg", "-i", saved])
            if restored.returncode != 0 or installed_state() != before:
                fail("could not put back the package installed before: " + restored.stderr)
            print("put back the lumivale package installed before the test")
        elif run(["dpkg", "-r", "lumivale"]).returncode != 0 or installed_state():
            fail("could not remove the package")

    return put_back


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] != "--package"):
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    package = len(sys.argv) == 3
    for tool in ["Xvfb", "xscreensaver", "xscreensaver-command", "xwd", "ffmpeg"]:
        if shutil.which(tool) is None:
            skip(tool + " is not installed (scripts/setup.sh installs it)")
    if package:
        if os.geteuid() != 0:
            skip("installing the package needs root")
        if shutil.which("dpkg") is None or shutil.which("dpkg-deb") is None:
            skip("dpkg is not installed")

    # Ended from outside, the run still cleans up: the user, the processes, the package.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(1))
    # Hacks orphaned when the daemon's host process exits come to this process to be reaped.
    ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    work = tempfile.mkdtemp(prefix="lumivale-xss-")
    os.chmod(work, 0o755)
    home = os.path.join(work, "home")
    user = None
    server = None
    lock = None
    put_back = None
    marker = "LUMIVALE_XSS_RUN=" + uuid.uuid4().hex
    try:
        user = User(home)
        if package:
            # One run at a time may change what is installed.
            lock = open(PACKAGE_LOCK, "w")
            fcntl.flock(lock, fcntl.LOCK_EX)
            with termination_held():
                put_back = install_package(build, work)
            if failures:
                return 1
            print(run(["dpkg-query", "-L", "lumivale"]).stdout, end="")
            # Named as users name them: the daemon looks in its hack folder.
            hack_folder = "/usr/libexec/xscreensaver"
            commands = [f"{s} --root" for s in SAVERS]
            headless = [f"/usr/bin/{s}" for s in SAVERS]
        else:
            prefix = os.path.join(work, "prefix")
            run(["cmake", "--install", build, "--prefix", prefix], check=True)
            hack_folder = os.path.join(prefix, "libexec", "xscreensaver")
            commands = [f"{hack_folder}/{s} --root" for s in SAVERS]
            headless = [os.path.join(prefix, "bin", s) for s in SAVERS]

        server, display = start_display()
        env = daemon_environment(home, display, marker)
        for selected, name in enumerate(SAVERS):
            write_settings(home, user, commands, selected)
            run_saver(name, os.path.join(hack_folder, name), headless[selected], env, user,
                      display, work, marker)
    finally:
        # The clean-up runs to its end.
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})
        if server:
            end_process(server)
        reap()
        for pid in marked_processes(marker):
            fail(f"still running at the end: {pid} {command_line(pid)}")
            os.kill(pid, signal.SIGKILL)
        if put_back:
            put_back()
        if lock:
            lock.close()
        if user:
            user.remove()
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
