# Set-up commands: `make run` (demo database, full update in automatic mode, log printed)
# and `make test` (every test through ctest). Both install missing Debian packages first.
# The installs start no system service (the tests start a Firebird server of their own).
BUILD ?= build
JOBS  ?= $(shell nproc)
PKGS  := cmake g++ make pkg-config qt6-base-dev firebird3.0-server-core firebird3.0-server firebird3.0-utils \
         libfbclient2 firebird-dev libssl-dev googletest libgtest-dev faketime poppler-utils \
         fontconfig fonts-dejavu-core fonts-dejavu-extra locales
SUDO  := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test screenshot bench clean

all: build

deps:
	@missing=""; \
	for p in $(PKGS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update -qq || exit 1; \
	  own_policy=""; \
	  if [ ! -e /usr/sbin/policy-rc.d ]; then \
	    printf '#!/bin/sh\nexit 101\n' | $(SUDO) tee /usr/sbin/policy-rc.d > /dev/null && \
	    $(SUDO) chmod 755 /usr/sbin/policy-rc.d && own_policy=1; \
	  fi; \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	  status=$$?; \
	  [ -z "$$own_policy" ] || $(SUDO) rm -f /usr/sbin/policy-rc.d; \
	  exit $$status; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	bash hotel_db/run_demo.sh $(BUILD)

screenshot: build
	mkdir -p screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD)/dph2012_screenshot screenshots
	bash hotel_db/protocol_screenshot.sh $(BUILD) screenshots

# Figures of the commands and of the installed objects on a large stand-in hotel database
# (GROUPS generated groups); then the backup against gbak, --check, and the unattended update
# against isql-fb.
GROUPS ?= 2000
bench: build
	bash hotel_db/make_large.sh $(BUILD)/bench_hotel.fdb $(GROUPS) > /dev/null
	$(BUILD)/dph2012_update_bench $(BUILD)/bench_hotel.fdb $(BUILD)/dph2012
	$(BUILD)/dph2012_bench $(BUILD)/bench_hotel.fdb
	$(BUILD)/dph2012_safety_bench $(BUILD)/bench_hotel.fdb $(BUILD)/dph2012 $(BUILD)/hotel_db/hotel_demo.fdb

clean:
	rm -rf $(BUILD) demo screenshots
