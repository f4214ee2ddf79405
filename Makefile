# Lumapix: `make run` builds and runs the demo, `make test` builds and tests everything.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20

PREFIX ?= /usr/local

.PHONY: run test deps build release asan fuzz fuzz-run bench install clean

run: deps release
	./build/release/app/cli/lumapix demo build/release/lumapix-demo.bmp
	@echo
	./build/release/app/cli/lumapix roundtrip build/release/roundtrip
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo; echo "Opening the demo image in the viewer (close its window to finish)"; \
	  ./build/release/app/viewer/lumapix-viewer build/release/lumapix-demo.bmp; \
	else echo; echo "No display: the viewer is built as build/release/app/viewer/lumapix-viewer"; fi

test: deps release asan
	ctest --preset release -j $(JOBS)
	ctest --preset asan -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-run

deps:
	@scripts/install-deps

build: release

release asan:
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

# Each fuzz target runs briefly from its seed corpus when clang is installed.
fuzz-run:
	@if command -v clang++ >/dev/null; then \
	  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j $(JOBS) && \
	  scripts/run-fuzzers build/fuzz/fuzz $(FUZZ_SECONDS); \
	else echo "clang not found: fuzzers skipped"; fi

# Every codec and image operation against the standard Debian tools, in one run.
bench: deps release
	@for script in scripts/bench-*; do echo "== $$script"; $$script || exit 1; done

# Installs the viewer and the command line under PREFIX, building the release tree
# first when it is out of date. With DESTDIR (staging a package) the desktop and
# MIME caches are left to the package's own scripts.
install:
	@[ -f build/release/build.ninja ] || cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	cmake --install build/release --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ]; then \
	  if command -v update-desktop-database >/dev/null; then \
	    update-desktop-database -q "$(PREFIX)/share/applications" || true; fi; \
	  if command -v update-mime-database >/dev/null; then \
	    update-mime-database "$(PREFIX)/share/mime" || true; fi; \
	fi

clean:
	rm -rf build
