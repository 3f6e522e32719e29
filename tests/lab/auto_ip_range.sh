#!/usr/bin/env bash
# A range of 3 addresses for 6 DHCP cameras: 3 assigned, 3 "NO IP" (see auto_ip.sh).
exec bash "$(dirname "$0")/auto_ip.sh" range3
